#pragma once

#include "data/query.h"

#include <QColor>
#include <QPointer>
#include <QString>
#include <QTableView>

#include <exception>
#include <functional>
#include <vector>

class QLineEdit;

namespace korimo {

class DbGridModel;
class DbGridDelegate;

// One column of a DbGrid: which field it shows, its title and width, and whether it takes typing.
struct DbGridColumn {
    QString fieldName;
    int width = 64;
    bool readOnly = false;
    QString title; // empty: the field name
};

// What the draw-cell handler gets for every data cell before it is painted. The grid has already
// prepared its default colours; the handler may change them.
struct DbGridDrawCell {
    int row = -1;          // 0-based row of the query's buffer
    int column = -1;       // index into DbGrid::columns()
    bool selected = false; // the current cell, while the grid shows its selection
    bool focused = false;  // the current cell of the grid that has the focus
    QColor background;
    QColor text;
};

// The data-aware grid: shows the rows of a Query in the columns the caller configures and edits
// them in place, with the keys of the classic desktop-database grids:
//  - typed text is written into the row (Field::setAsText) when the cell is left, on Enter and on
//    focus loss; a text that does not parse is shown as a message, the editor stays open with it
//    and the column keeps its value;
//  - Esc discards the open cell's text, a second Esc the row's changes (a new row disappears);
//  - moving to another row posts a changed row; Insert starts a new row ahead of the current one;
//    typing into an empty list starts one too; Down on the last row appends one; Ctrl+Delete asks
//    "Delete record?" and deletes the current row on OK;
//  - a new row nobody typed into is dropped when the grid loses the focus or the user moves up
//    out of it; Tab leaves the grid.
// Every move of the current row goes through the Query's own moves, so pending edits are posted
// on the same path whoever moves; and the grid follows the Query's signals, so code that moves,
// reopens or edits the Query directly shows at once.
//
// Events (plain callbacks, called on the GUI thread; an exception a callback throws goes to the
// error handler and never into the Qt event loop):
//  - cell click(column): a left click released on a data cell. A click on the cell that is
//    already current opens its editor instead and raises no cell click (unless the whole grid is
//    read-only, then nothing opens and the click counts). Each release of a double click is a
//    click.
//  - column enter(column): the current column changed, by mouse or keyboard.
//  - exit(): the grid (or its editor) lost the focus to another control of its window, after
//    the grid wrote the open cell and dropped an untouched new row. Focus leaving for another
//    window (a message box, say) is not an exit.
//  - draw cell(cell): for every data cell before it is painted; while it runs the Query's recNo()
//    answers the painted row's number.
//  - key down(event): every key pressed in the grid or its editor, before the grid handles it;
//    returning true swallows the key.
//  - error(exception): an error of the Query (a failed post or delete) or of a callback. Without a
//    handler the grid shows it in an error box.
class DbGrid : public QTableView {
    Q_OBJECT
public:
    using CellClickHandler = std::function<void(int column)>;
    using ColEnterHandler = std::function<void(int column)>;
    using ExitHandler = std::function<void()>;
    using DrawCellHandler = std::function<void(DbGridDrawCell& cell)>;
    using KeyDownHandler = std::function<bool(const QKeyEvent& event)>;
    using ErrorHandler = std::function<void(const std::exception& error)>;

    explicit DbGrid(QWidget* parent = nullptr);
    ~DbGrid() override;

    // The query shown (not owned); nullptr shows nothing.
    void setQuery(Query* query);
    Query* query() const { return query_; }

    void setColumns(const std::vector<DbGridColumn>& columns);
    const std::vector<DbGridColumn>& columns() const;
    const DbGridColumn& column(int index) const;
    int columnCount() const;

    // A read-only grid takes no typing, inserting or deleting; it still moves and raises clicks.
    void setReadOnly(bool readOnly);
    bool isReadOnly() const { return read_only_; }

    // A grid that cannot insert never begins a row of its own (Insert, typing into an empty list,
    // Down on the last row or in an empty list); it still edits and deletes existing rows.
    void setCanInsert(bool canInsert) { can_insert_ = canInsert; }
    bool canInsert() const { return can_insert_; }

    // Show the current cell highlighted also while the grid has no focus.
    void setAlwaysShowSelection(bool on);
    bool alwaysShowSelection() const { return always_show_selection_; }

    // The current column, an index into columns(); moving it raises column enter.
    int currentColumn() const { return current_column_; }
    void setCurrentColumn(int column);
    // The field name of the current column, empty when there are no columns.
    QString currentFieldName() const;

    // The in-place editor, when one is open.
    bool isEditing() const;
    QLineEdit* editor() const;
    // Opens the editor on the current cell (when the cell can show one).
    void showEditor();
    // Writes the open editor's text into the row and closes the editor. False, after the message
    // was shown and with the editor still open, when the text was refused.
    bool closeEditorWritingText();

    void setOnCellClick(CellClickHandler handler) { on_cell_click_ = std::move(handler); }
    void setOnColEnter(ColEnterHandler handler) { on_col_enter_ = std::move(handler); }
    void setOnExit(ExitHandler handler) { on_exit_ = std::move(handler); }
    void setOnDrawColumnCell(DrawCellHandler handler) { on_draw_cell_ = std::move(handler); }
    void setOnKeyDown(KeyDownHandler handler) { on_key_down_ = std::move(handler); }
    void setOnError(ErrorHandler handler) { on_error_ = std::move(handler); }

signals:
    // A typed character was refused by the column's key filter (after the beep).
    void keyRefused();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool event(QEvent* event) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
    void commitData(QWidget* editor) override;
    void reset() override;

private:
    friend class DbGridDelegate;
    friend class DbGridIndicator;

    // Rows as high as the font needs.
    void fitRowHeight();

    // Query shortcuts.
    bool queryOpen() const;
    int rowCount() const; // rows shown: the stored ones plus a new row
    int currentRow() const;
    int fieldOf(int column) const; // field index of a grid column, -1 when absent
    bool canModify() const;        // typing, inserting and deleting allowed at all
    bool columnEditable(int column) const;
    bool untouchedNewRow() const;

    // Editing.
    bool editorModified() const;
    bool writeEditorText(); // false when refused (message shown, editor kept)
    void closeEditorDiscarding();
    void startEditing(const QString& typed);
    bool acceptsChar(int column, QChar c) const;
    void refuseKey();
    bool handleEditorKey(QLineEdit* editor, QKeyEvent* event); // true when consumed
    void editorTextEdited();
    void editorCreated(QLineEdit* editor, const QModelIndex& index);

    // Keys and moves.
    void handleGridKey(QKeyEvent* event);
    bool navigate(QKeyEvent* event); // arrows and pages; true when it was such a key
    bool moveToCell(int row, int column);
    void moveUp();
    void moveDown();
    void moveRows(int delta);
    void moveColumn(int visualDelta);
    void insertRow();
    void deleteRow();
    void escape();
    void leaveByTab(bool forward);
    void indicatorPressed(int row);

    // Focus.
    void applicationFocusChanged(QWidget* old, QWidget* now);
    bool hasFocusInside() const;
    void exitGrid();

    // Query signals.
    void queryReset();
    void queryCurrentChanged();
    void queryRowChanged();
    void syncCurrent();

    // Painting, from the delegate.
    void prepareCell(DbGridDrawCell& cell) const;

    // Errors.
    template <class F> void guarded(F&& action);
    void reportError(const std::exception& error);
    void showInvalidValue(const std::exception& error);

    DbGridModel* model_;
    DbGridDelegate* delegate_;
    QPointer<Query> query_;
    std::vector<QMetaObject::Connection> query_connections_;
    QPointer<QLineEdit> editor_;
    QString editor_original_text_;
    int current_column_ = 0;
    bool read_only_ = false;
    bool can_insert_ = true;
    bool always_show_selection_ = false;
    bool click_armed_ = false;
    bool syncing_ = false;
    bool in_exit_ = false;

    CellClickHandler on_cell_click_;
    ColEnterHandler on_col_enter_;
    ExitHandler on_exit_;
    DrawCellHandler on_draw_cell_;
    KeyDownHandler on_key_down_;
    ErrorHandler on_error_;
};

} // namespace korimo
