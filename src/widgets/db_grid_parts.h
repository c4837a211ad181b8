#pragma once

// The pieces a DbGrid is made of: the table model over the Query, the delegate that paints the
// cells and routes the editor's keys to the grid, and the row indicator. Only db_grid.cpp uses
// them.

#include "widgets/db_grid.h"

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QPointer>
#include <QStyledItemDelegate>

#include <vector>

namespace korimo {

class Query;

// Reads straight from the Query: the view keeps no copy of the data. The row count is cached so
// that the view's idea of it changes only inside a reset, never behind its back.
class DbGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit DbGridModel(QObject* parent);

    void setQuery(Query* query);
    void setColumns(const std::vector<DbGridColumn>& columns);
    const std::vector<DbGridColumn>& columns() const { return columns_; }

    // Field index of a grid column in the open query, -1 when absent or closed.
    int fieldOf(int column) const;
    // Rows the query shows now: the stored ones plus a new row being inserted.
    int queryRows() const;
    // Everything may have changed.
    void refresh();
    // Resets when the query's row count differs from the view's; true when it did.
    bool refreshIfCountChanged();
    void rowValuesChanged(int row);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    QPointer<Query> query_;
    std::vector<DbGridColumn> columns_;
    int rows_ = 0;
};

class DbGridDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit DbGridDelegate(DbGrid* grid);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    // The grid fills the editor once when it opens and writes it back itself, so that a refused
    // text can keep its editor open.
    void setEditorData(QWidget*, const QModelIndex&) const override {}
    void setModelData(QWidget*, QAbstractItemModel*, const QModelIndex&) const override {}

protected:
    bool eventFilter(QObject* object, QEvent* event) override;

private:
    DbGrid* grid_;
};

// The indicator column: a triangle at the current row, an I-beam while it is edited, a star while
// it is a new row.
class DbGridIndicator : public QHeaderView {
    Q_OBJECT
public:
    explicit DbGridIndicator(DbGrid* grid);
    QSize sizeHint() const override;

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    DbGrid* grid_;
};

} // namespace korimo
