#include "widgets/db_grid.h"

#include "data/error.h"
#include "data/query.h"
#include "platform/dialogs.h"
#include "widgets/db_grid_parts.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionFocusRect>

#include <algorithm>

namespace korimo {
namespace {

QString messageOf(const std::exception& error)
{
    if (const auto* own = dynamic_cast<const Error*>(&error))
        return own->message();
    return QString::fromUtf8(error.what());
}

bool isNumeric(FieldType type)
{
    return type == FieldType::Integer || type == FieldType::Float;
}

// Sets a flag for the lifetime of a scope, so that re-entered handlers can tell.
class FlagScope {
public:
    explicit FlagScope(bool& flag) : flag_(flag) { flag_ = true; }
    ~FlagScope() { flag_ = false; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& flag_;
};

} // namespace

// Every entry from Qt (events, signals, the editor's keys) runs through here: an error reaches
// the error handler and never the event loop.
template <class F> void DbGrid::guarded(F&& action)
{
    try {
        action();
    } catch (const std::exception& e) {
        reportError(e);
    } catch (...) {
        reportError(Error(QStringLiteral("Unknown error")));
    }
}

// ---------------------------------------------------------------------------------------------
// DbGridModel

DbGridModel::DbGridModel(QObject* parent) : QAbstractTableModel(parent) {}

void DbGridModel::setQuery(Query* query)
{
    beginResetModel();
    query_ = query;
    rows_ = queryRows();
    endResetModel();
}

void DbGridModel::setColumns(const std::vector<DbGridColumn>& columns)
{
    beginResetModel();
    columns_ = columns;
    rows_ = queryRows();
    endResetModel();
}

int DbGridModel::fieldOf(int column) const
{
    if (query_ == nullptr || !query_->isOpen() || column < 0
        || column >= static_cast<int>(columns_.size()))
        return -1;
    return query_->fieldIndex(columns_[static_cast<size_t>(column)].fieldName);
}

int DbGridModel::queryRows() const
{
    if (query_ == nullptr || !query_->isOpen())
        return 0;
    return query_->recordCount() + (query_->state() == Query::State::Insert ? 1 : 0);
}

void DbGridModel::refresh()
{
    beginResetModel();
    rows_ = queryRows();
    endResetModel();
}

bool DbGridModel::refreshIfCountChanged()
{
    if (queryRows() == rows_)
        return false;
    refresh();
    return true;
}

void DbGridModel::rowValuesChanged(int row)
{
    if (row >= 0 && row < rows_ && !columns_.empty())
        emit dataChanged(index(row, 0), index(row, static_cast<int>(columns_.size()) - 1));
}

int DbGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : rows_;
}

int DbGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant DbGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= queryRows())
        return {};
    const int field = fieldOf(index.column());
    if (field < 0)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return query_->displayText(index.row(), field);
    case Qt::TextAlignmentRole:
        // Numbers line up on their last digit, as the classic grids show them.
        return static_cast<int>(isNumeric(query_->fieldType(field)) ? Qt::AlignRight
                                                                      : Qt::AlignLeft);
    default:
        return {};
    }
}

QVariant DbGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0
        || section >= static_cast<int>(columns_.size()))
        return {};
    const DbGridColumn& c = columns_[static_cast<size_t>(section)];
    return c.title.isEmpty() ? c.fieldName : c.title;
}

Qt::ItemFlags DbGridModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    // Whether a cell really takes typing is the grid's decision; the view only needs to know
    // that an editor may open on it.
    return Qt::ItemIsEnabled | Qt::ItemIsEditable;
}

// ---------------------------------------------------------------------------------------------
// DbGridDelegate

DbGridDelegate::DbGridDelegate(DbGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}

void DbGridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                           const QModelIndex& index) const
{
    DbGridDrawCell cell;
    cell.row = index.row();
    cell.column = index.column();
    grid_->prepareCell(cell);

    painter->save();
    painter->setClipRect(option.rect);
    painter->fillRect(option.rect, cell.background);
    painter->setPen(cell.text);
    painter->setFont(option.font);
    const int alignment = index.data(Qt::TextAlignmentRole).toInt();
    painter->drawText(option.rect.adjusted(2, 0, -2, 0),
                      alignment | Qt::AlignVCenter | Qt::TextSingleLine,
                      index.data(Qt::DisplayRole).toString());
    if (cell.focused) {
        QStyleOptionFocusRect focus;
        focus.initFrom(grid_);
        focus.rect = option.rect.adjusted(1, 1, -1, -1);
        focus.backgroundColor = cell.background;
        grid_->style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, grid_);
    }
    painter->restore();
}

QWidget* DbGridDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                      const QModelIndex& index) const
{
    auto* editor = new QLineEdit(parent);
    editor->setFrame(false);
    grid_->editorCreated(editor, index);
    return editor;
}

bool DbGridDelegate::eventFilter(QObject* object, QEvent* event)
{
    auto* editor = qobject_cast<QLineEdit*>(object);
    if (editor == nullptr || event->type() != QEvent::KeyPress)
        return false;
    // Every key of the editor goes to the grid first; what it does not take, the line edit
    // types. The base class's own Return, Tab and focus-out handling is deliberately not used:
    // the grid decides when text is written and keeps the editor when the text is refused.
    bool consumed = true;
    grid_->guarded([&] { consumed = grid_->handleEditorKey(editor, static_cast<QKeyEvent*>(event)); });
    return consumed;
}

// ---------------------------------------------------------------------------------------------
// DbGridIndicator

DbGridIndicator::DbGridIndicator(DbGrid* grid) : QHeaderView(Qt::Vertical, grid), grid_(grid)
{
    setSectionsClickable(false);
    setHighlightSections(false);
    setSectionResizeMode(QHeaderView::Fixed);
}

QSize DbGridIndicator::sizeHint() const
{
    return QSize(14, QHeaderView::sizeHint().height());
}

void DbGridIndicator::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const
{
    // The style may leave the painter clipped to nothing after a header section.
    painter->save();
    QHeaderView::paintSection(painter, rect, logicalIndex);
    painter->restore();
    Query* query = grid_->query();
    if (query == nullptr || !query->isOpen() || logicalIndex != query->currentIndex())
        return;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QColor ink = palette().color(QPalette::ButtonText);
    const QPointF c = QRectF(rect).center();
    switch (query->state()) {
    case Query::State::Edit: {
        // I-beam: the row is being edited.
        painter->setPen(QPen(ink, 1.2));
        painter->drawLine(QPointF(c.x(), c.y() - 4.5), QPointF(c.x(), c.y() + 4.5));
        painter->drawLine(QPointF(c.x() - 2, c.y() - 4.5), QPointF(c.x() + 2, c.y() - 4.5));
        painter->drawLine(QPointF(c.x() - 2, c.y() + 4.5), QPointF(c.x() + 2, c.y() + 4.5));
        break;
    }
    case Query::State::Insert: {
        // Star: a new row.
        painter->setPen(QPen(ink, 1.2));
        painter->drawLine(QPointF(c.x(), c.y() - 4), QPointF(c.x(), c.y() + 4));
        painter->drawLine(QPointF(c.x() - 3.5, c.y() - 2), QPointF(c.x() + 3.5, c.y() + 2));
        painter->drawLine(QPointF(c.x() - 3.5, c.y() + 2), QPointF(c.x() + 3.5, c.y() - 2));
        break;
    }
    default: {
        QPainterPath triangle;
        triangle.moveTo(c.x() - 2, c.y() - 4);
        triangle.lineTo(c.x() + 2.5, c.y());
        triangle.lineTo(c.x() - 2, c.y() + 4);
        triangle.closeSubpath();
        painter->fillPath(triangle, ink);
        break;
    }
    }
    painter->restore();
}

void DbGridIndicator::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() == Qt::LeftButton)
        grid_->indicatorPressed(logicalIndexAt(event->position().toPoint()));
}

void DbGridIndicator::mouseMoveEvent(QMouseEvent* event)
{
    event->accept();
}

void DbGridIndicator::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
}

void DbGridIndicator::mouseDoubleClickEvent(QMouseEvent* event)
{
    event->accept();
}

// ---------------------------------------------------------------------------------------------
// DbGrid: set-up

DbGrid::DbGrid(QWidget* parent)
    : QTableView(parent), model_(new DbGridModel(this)), delegate_(new DbGridDelegate(this))
{
    setModel(model_);
    setItemDelegate(delegate_);
    setVerticalHeader(new DbGridIndicator(this));
    // The grid draws its own current cell; Qt's selection and edit triggers stay out of the way
    // so that every move and every edit takes the grid's own path.
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);
    setCornerButtonEnabled(false);
    setShowGrid(true);
    setWordWrap(false);
    setAutoScroll(false);
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);

    QHeaderView* titles = horizontalHeader();
    titles->setSectionsMovable(true);
    // Not clickable: a click on a title must not move the current cell.
    titles->setSectionsClickable(false);
    titles->setHighlightSections(false);
    titles->setStretchLastSection(false);
    titles->setSectionResizeMode(QHeaderView::Interactive);
    titles->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    fitRowHeight();

    connect(qApp, &QApplication::focusChanged, this, &DbGrid::applicationFocusChanged);
}

DbGrid::~DbGrid()
{
    // Children losing the focus while the grid is taken apart must not run the exit handling.
    disconnect(qApp, &QApplication::focusChanged, this, &DbGrid::applicationFocusChanged);
    for (const QMetaObject::Connection& c : query_connections_)
        disconnect(c);
}

void DbGrid::fitRowHeight()
{
    verticalHeader()->setMinimumSectionSize(fontMetrics().height() + 2);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
}

void DbGrid::setQuery(Query* query)
{
    for (const QMetaObject::Connection& c : query_connections_)
        disconnect(c);
    query_connections_.clear();
    query_ = query;
    if (query != nullptr) {
        query_connections_.push_back(
            connect(query, &Query::reset, this, [this] { guarded([this] { queryReset(); }); }));
        query_connections_.push_back(connect(query, &Query::currentChanged, this,
                                             [this] { guarded([this] { queryCurrentChanged(); }); }));
        query_connections_.push_back(connect(query, &Query::rowChanged, this,
                                             [this] { guarded([this] { queryRowChanged(); }); }));
        query_connections_.push_back(connect(query, &QObject::destroyed, this, [this] {
            query_ = nullptr;
            model_->setQuery(nullptr);
            syncCurrent();
        }));
    }
    model_->setQuery(query);
    syncCurrent();
}

void DbGrid::setColumns(const std::vector<DbGridColumn>& columns)
{
    if (isEditing())
        closeEditorDiscarding();
    model_->setColumns(columns);
    for (size_t i = 0; i < columns.size(); ++i)
        setColumnWidth(static_cast<int>(i), columns[i].width);
    current_column_ = std::clamp(current_column_, 0, std::max(0, columnCount() - 1));
    syncCurrent();
}

const std::vector<DbGridColumn>& DbGrid::columns() const
{
    return model_->columns();
}

const DbGridColumn& DbGrid::column(int index) const
{
    return model_->columns().at(static_cast<size_t>(index));
}

int DbGrid::columnCount() const
{
    return static_cast<int>(model_->columns().size());
}

void DbGrid::setReadOnly(bool readOnly)
{
    read_only_ = readOnly;
    if (editor_ != nullptr)
        editor_->setReadOnly(!columnEditable(current_column_));
}

void DbGrid::setAlwaysShowSelection(bool on)
{
    always_show_selection_ = on;
    viewport()->update();
}

void DbGrid::setCurrentColumn(int column)
{
    if (column < 0 || column >= columnCount() || column == current_column_)
        return;
    if (isEditing() && !closeEditorWritingText())
        return;
    current_column_ = column;
    syncCurrent();
    if (on_col_enter_)
        guarded([&] { on_col_enter_(column); });
}

QString DbGrid::currentFieldName() const
{
    if (current_column_ < 0 || current_column_ >= columnCount())
        return {};
    return column(current_column_).fieldName;
}

// ---------------------------------------------------------------------------------------------
// Query shortcuts

bool DbGrid::queryOpen() const
{
    return query_ != nullptr && query_->isOpen();
}

int DbGrid::rowCount() const
{
    return model_->queryRows();
}

int DbGrid::currentRow() const
{
    return queryOpen() ? query_->currentIndex() : -1;
}

int DbGrid::fieldOf(int column) const
{
    return model_->fieldOf(column);
}

bool DbGrid::canModify() const
{
    return !read_only_ && queryOpen() && query_->isUpdatable();
}

bool DbGrid::columnEditable(int column) const
{
    return canModify() && column >= 0 && column < columnCount()
        && !this->column(column).readOnly && fieldOf(column) >= 0;
}

bool DbGrid::untouchedNewRow() const
{
    return queryOpen() && query_->state() == Query::State::Insert && !query_->isModified();
}

// ---------------------------------------------------------------------------------------------
// Editing

bool DbGrid::isEditing() const
{
    return editor_ != nullptr && state() == QAbstractItemView::EditingState;
}

QLineEdit* DbGrid::editor() const
{
    return isEditing() ? editor_.data() : nullptr;
}

void DbGrid::editorCreated(QLineEdit* editor, const QModelIndex& index)
{
    editor_ = editor;
    const int field = fieldOf(index.column());
    editor_original_text_ = field >= 0 ? query_->displayText(index.row(), field) : QString();
    editor->setText(editor_original_text_);
    editor->selectAll();
    editor->setReadOnly(!columnEditable(index.column()));
    connect(editor, &QLineEdit::textEdited, this,
            [this] { guarded([this] { editorTextEdited(); }); });
}

bool DbGrid::editorModified() const
{
    return isEditing() && editor_->text() != editor_original_text_;
}

void DbGrid::editorTextEdited()
{
    // The row goes into the edit state with the first key typed, so the indicator shows it and
    // Esc has a row to cancel, as in the classic grids.
    if (queryOpen() && query_->state() == Query::State::Browse && currentRow() >= 0)
        query_->edit();
}

void DbGrid::showEditor()
{
    if (isEditing()) {
        editor_->setFocus();
        return;
    }
    if (!canModify() || currentRow() < 0 || fieldOf(current_column_) < 0)
        return;
    const QModelIndex index = model_->index(currentRow(), current_column_);
    if (!index.isValid())
        return;
    if (currentIndex() != index)
        syncCurrent();
    scrollTo(index);
    edit(index);
}

void DbGrid::startEditing(const QString& typed)
{
    if (!columnEditable(current_column_))
        return;
    for (const QChar c : typed)
        if (!acceptsChar(current_column_, c)) {
            refuseKey();
            return;
        }
    // Typing into an empty list starts its first row.
    if (rowCount() == 0) {
        if (!can_insert_)
            return;
        query_->edit();
    }
    showEditor();
    if (!isEditing())
        return;
    editor_->setText(typed);
    editorTextEdited();
}

bool DbGrid::writeEditorText()
{
    if (!editorModified())
        return true;
    const int field = fieldOf(current_column_);
    if (field < 0 || currentRow() < 0)
        return true;
    const QString text = editor_->text();
    try {
        query_->field(field).setAsText(text);
    } catch (const std::exception& e) {
        // The column keeps its value; the user gets the text back to correct it.
        showInvalidValue(e);
        if (isEditing()) {
            editor_->setFocus();
        } else {
            showEditor();
            if (isEditing())
                editor_->setText(text);
        }
        return false;
    }
    editor_original_text_ = text;
    return true;
}

bool DbGrid::closeEditorWritingText()
{
    if (!isEditing())
        return true;
    if (!writeEditorText())
        return false;
    closeEditorDiscarding();
    return true;
}

void DbGrid::closeEditorDiscarding()
{
    if (editor_ != nullptr)
        closeEditor(editor_, QAbstractItemDelegate::NoHint);
}

void DbGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint)
{
    if (editor == editor_)
        editor_ = nullptr;
    QTableView::closeEditor(editor, hint);
}

void DbGrid::commitData(QWidget*)
{
    // Text is written by the grid itself (writeEditorText), never behind its back.
}

void DbGrid::reset()
{
    QWidget* open = editor_;
    editor_ = nullptr;
    // The editor is about to be hidden; a hidden focus widget would hand the focus on to the
    // next control of the window, which would look like the user leaving the grid.
    if (open != nullptr && open->hasFocus())
        setFocus();
    QTableView::reset();
}

bool DbGrid::acceptsChar(int column, QChar c) const
{
    if (!c.isPrint())
        return true;
    const int field = fieldOf(column);
    if (field < 0)
        return true;
    const bool digit = c >= QLatin1Char('0') && c <= QLatin1Char('9');
    const bool sign = c == QLatin1Char('+') || c == QLatin1Char('-');
    switch (query_->fieldType(field)) {
    case FieldType::Integer:
        return digit || sign;
    case FieldType::Float:
        return digit || sign || c == QLatin1Char('E') || c == QLatin1Char('e')
            || QString(c) == QLocale().decimalPoint();
    case FieldType::Text:
    case FieldType::DateTime:
        break;
    }
    return true;
}

void DbGrid::refuseKey()
{
    QApplication::beep();
    emit keyRefused();
}

// ---------------------------------------------------------------------------------------------
// Keys

bool DbGrid::event(QEvent* event)
{
    // Tab is taken before QWidget turns it into a focus move, so that the key-down handler sees
    // it and the open cell is written first.
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const bool tab = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab;
        if (tab && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            guarded([&] {
                if (on_key_down_ && on_key_down_(*key))
                    return;
                leaveByTab(key->key() == Qt::Key_Tab && !(key->modifiers() & Qt::ShiftModifier));
            });
            return true;
        }
    }
    if (event->type() == QEvent::FontChange)
        fitRowHeight();
    return QTableView::event(event);
}

void DbGrid::keyPressEvent(QKeyEvent* event)
{
    if (isEditing() && editor_->hasFocus()) {
        // A key the editor had no use for, passed on to its parents: the grid has seen it
        // already through the editor.
        event->ignore();
        return;
    }
    bool handled = true;
    guarded([&] {
        if (on_key_down_ && on_key_down_(*event))
            return;
        handleGridKey(event);
        handled = event->isAccepted();
    });
    event->setAccepted(handled);
}

void DbGrid::handleGridKey(QKeyEvent* event)
{
    event->accept();
    if (navigate(event))
        return;
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    switch (event->key()) {
    case Qt::Key_Insert:
        if (mods == Qt::NoModifier)
            insertRow();
        return;
    case Qt::Key_Delete:
        if (mods == Qt::ControlModifier)
            deleteRow();
        return;
    case Qt::Key_Escape:
        escape();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_F2:
        showEditor();
        return;
    default:
        break;
    }
    const QString text = event->text();
    if (!text.isEmpty() && text.front().isPrint()
        && !(mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
        startEditing(text);
        return;
    }
    event->ignore();
}

bool DbGrid::handleEditorKey(QLineEdit* editor, QKeyEvent* event)
{
    if (on_key_down_ && on_key_down_(*event))
        return true;
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    switch (event->key()) {
    case Qt::Key_Escape:
        escape();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        closeEditorWritingText();
        return true;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        leaveByTab(event->key() == Qt::Key_Tab && !(mods & Qt::ShiftModifier));
        return true;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        navigate(event);
        return true;
    case Qt::Key_Home:
    case Qt::Key_End:
        if (mods & Qt::ControlModifier) {
            navigate(event);
            return true;
        }
        return false;
    case Qt::Key_Left:
        if (mods == Qt::NoModifier && editor->cursorPosition() == 0 && !editor->hasSelectedText()) {
            moveColumn(-1);
            return true;
        }
        return false;
    case Qt::Key_Right:
        if (mods == Qt::NoModifier && editor->cursorPosition() == editor->text().size()
            && !editor->hasSelectedText()) {
            moveColumn(1);
            return true;
        }
        return false;
    case Qt::Key_Insert:
        if (mods == Qt::NoModifier) {
            insertRow();
            return true;
        }
        return false;
    case Qt::Key_Delete:
        if (mods == Qt::ControlModifier) {
            deleteRow();
            return true;
        }
        return false;
    default:
        break;
    }
    const QString text = event->text();
    if (text.isEmpty() || !text.front().isPrint()
        || (mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
        return false;
    if (!columnEditable(current_column_))
        return true;
    for (const QChar c : text)
        if (!acceptsChar(current_column_, c)) {
            refuseKey();
            return true;
        }
    return false;
}

bool DbGrid::navigate(QKeyEvent* event)
{
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    switch (event->key()) {
    case Qt::Key_Up:
        moveUp();
        return true;
    case Qt::Key_Down:
        moveDown();
        return true;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown: {
        const int rowHeight = std::max(1, verticalHeader()->defaultSectionSize());
        const int page = std::max(1, viewport()->height() / rowHeight - 1);
        moveRows(event->key() == Qt::Key_PageUp ? -page : page);
        return true;
    }
    case Qt::Key_Left:
        moveColumn(-1);
        return true;
    case Qt::Key_Right:
        moveColumn(1);
        return true;
    case Qt::Key_Home:
        if (ctrl)
            moveToCell(0, current_column_);
        else
            setCurrentColumn(horizontalHeader()->logicalIndex(0));
        return true;
    case Qt::Key_End:
        if (ctrl)
            moveToCell(rowCount() - 1, current_column_);
        else
            setCurrentColumn(horizontalHeader()->logicalIndex(columnCount() - 1));
        return true;
    default:
        return false;
    }
}

bool DbGrid::moveToCell(int row, int column)
{
    if (isEditing() && (row != currentRow() || column != current_column_)
        && !closeEditorWritingText())
        return false;
    if (queryOpen() && row >= 0 && row != currentRow()) {
        try {
            // The Query's own move: it posts a changed row and drops an untouched new one.
            query_->moveTo(row);
        } catch (const std::exception& e) {
            reportError(e);
            syncCurrent();
            return false;
        }
    }
    setCurrentColumn(column);
    return true;
}

void DbGrid::moveUp()
{
    if (!queryOpen() || (isEditing() && !closeEditorWritingText()))
        return;
    const int row = currentRow();
    if (row < 0 || (row == 0 && query_->state() == Query::State::Browse))
        return;
    try {
        // From a new row nobody typed into, moving up drops it.
        query_->moveTo(std::max(row - 1, 0));
    } catch (const std::exception& e) {
        reportError(e);
    }
}

void DbGrid::moveDown()
{
    if (!queryOpen() || (isEditing() && !closeEditorWritingText()))
        return;
    const int row = currentRow();
    const int rows = rowCount();
    try {
        if (untouchedNewRow()) {
            // An empty new row at the end stays; one inserted ahead of a row gives way to it.
            if (row < rows - 1)
                query_->cancel();
            return;
        }
        if (row >= 0 && row < rows - 1) {
            query_->moveTo(row + 1);
            return;
        }
        // On the last row, or in an empty list, the classic grid appends a new row (append
        // posts the current one first).
        if (canModify() && can_insert_)
            query_->append();
        else
            query_->checkBrowseMode();
    } catch (const std::exception& e) {
        reportError(e);
    }
}

void DbGrid::moveRows(int delta)
{
    const int rows = rowCount();
    if (rows == 0)
        return;
    const int target = std::clamp(currentRow() + delta, 0, rows - 1);
    if (target != currentRow())
        moveToCell(target, current_column_);
}

void DbGrid::moveColumn(int visualDelta)
{
    const int visual = horizontalHeader()->visualIndex(current_column_) + visualDelta;
    if (visual < 0 || visual >= columnCount())
        return;
    setCurrentColumn(horizontalHeader()->logicalIndex(visual));
}

void DbGrid::insertRow()
{
    if (!canModify() || !can_insert_ || (isEditing() && !closeEditorWritingText()))
        return;
    try {
        query_->insert();
    } catch (const std::exception& e) {
        reportError(e);
    }
}

void DbGrid::deleteRow()
{
    if (!canModify() || rowCount() == 0)
        return;
    if (!platform::dialogs().confirmOkCancel(this, QStringLiteral("Delete record?")))
        return;
    closeEditorDiscarding();
    if (!queryOpen())
        return;
    try {
        query_->remove();
    } catch (const std::exception& e) {
        reportError(e);
    }
}

void DbGrid::escape()
{
    if (isEditing()) {
        const bool typed = editorModified();
        closeEditorDiscarding();
        if (typed)
            return;
    }
    if (queryOpen() && query_->state() != Query::State::Browse)
        query_->cancel();
}

void DbGrid::leaveByTab(bool forward)
{
    if (isEditing() && !closeEditorWritingText())
        return;
    setFocus(Qt::TabFocusReason);
    // The view's own Tab navigation is off, so this moves the focus to the next control.
    focusNextPrevChild(forward);
}

void DbGrid::indicatorPressed(int row)
{
    setFocus(Qt::MouseFocusReason);
    guarded([&] {
        if (row >= 0)
            moveToCell(row, current_column_);
    });
}

// ---------------------------------------------------------------------------------------------
// Mouse

void DbGrid::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    click_armed_ = false;
    if (event->button() != Qt::LeftButton)
        return;
    guarded([&] {
        const QModelIndex index = indexAt(event->position().toPoint());
        if (!index.isValid())
            return;
        if (index.row() == currentRow() && index.column() == current_column_) {
            // A click on the current cell opens its editor and is no cell click; a grid that
            // cannot open one lets the click count.
            if (canModify() && fieldOf(current_column_) >= 0) {
                showEditor();
                return;
            }
            click_armed_ = true;
            return;
        }
        click_armed_ = moveToCell(index.row(), index.column());
    });
}

void DbGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The second press of a double click: the cell is current already, yet the release counts
    // as a click of its own and no editor opens.
    event->accept();
    click_armed_ = false;
    if (event->button() != Qt::LeftButton)
        return;
    guarded([&] {
        const QModelIndex index = indexAt(event->position().toPoint());
        if (!index.isValid())
            return;
        if (index.row() == currentRow() && index.column() == current_column_)
            click_armed_ = true;
        else
            click_armed_ = moveToCell(index.row(), index.column());
    });
}

void DbGrid::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() != Qt::LeftButton || !click_armed_)
        return;
    click_armed_ = false;
    if (!indexAt(event->position().toPoint()).isValid() || !on_cell_click_)
        return;
    const int column = current_column_;
    guarded([&] { on_cell_click_(column); });
}

void DbGrid::mouseMoveEvent(QMouseEvent* event)
{
    // No drag selection: the grid has one current cell and nothing else.
    event->accept();
}

// ---------------------------------------------------------------------------------------------
// Focus

void DbGrid::focusInEvent(QFocusEvent* event)
{
    QTableView::focusInEvent(event);
    syncCurrent();
}

void DbGrid::focusOutEvent(QFocusEvent* event)
{
    QTableView::focusOutEvent(event);
    viewport()->update();
}

bool DbGrid::hasFocusInside() const
{
    const QWidget* focus = QApplication::focusWidget();
    return focus != nullptr && (focus == this || isAncestorOf(focus));
}

void DbGrid::applicationFocusChanged(QWidget* old, QWidget* now)
{
    const bool wasInside = old != nullptr && (old == this || isAncestorOf(old));
    const bool isInside = now != nullptr && (now == this || isAncestorOf(now));
    if (wasInside != isInside)
        viewport()->update();
    // Only a move to another control of the same window leaves the grid: a message box or a
    // menu taking the focus for a moment does not.
    if (!wasInside || isInside || now == nullptr || now->window() != window())
        return;
    guarded([this] { exitGrid(); });
}

void DbGrid::exitGrid()
{
    if (in_exit_)
        return;
    FlagScope scope(in_exit_);
    if (isEditing() && !closeEditorWritingText()) {
        // The text was refused: the user stays in the grid to correct it.
        if (isEditing())
            editor_->setFocus();
        return;
    }
    if (untouchedNewRow())
        query_->cancel();
    if (on_exit_)
        on_exit_();
}

// ---------------------------------------------------------------------------------------------
// Following the query

void DbGrid::queryReset()
{
    model_->refresh();
    syncCurrent();
}

void DbGrid::queryCurrentChanged()
{
    model_->refreshIfCountChanged();
    syncCurrent();
}

void DbGrid::queryRowChanged()
{
    if (!model_->refreshIfCountChanged())
        model_->rowValuesChanged(currentRow());
    syncCurrent();
}

void DbGrid::syncCurrent()
{
    const int row = currentRow();
    QModelIndex target;
    if (row >= 0 && row < model_->rowCount() && current_column_ < model_->columnCount())
        target = model_->index(row, current_column_);
    if (currentIndex() != target) {
        FlagScope scope(syncing_);
        selectionModel()->setCurrentIndex(target, QItemSelectionModel::NoUpdate);
    }
    if (target.isValid())
        scrollTo(target);
    viewport()->update();
    verticalHeader()->viewport()->update();
}

QModelIndex DbGrid::moveCursor(CursorAction, Qt::KeyboardModifiers)
{
    // The view never moves by itself; when it asks, the answer is the query's current row.
    const int row = currentRow();
    if (row < 0 || row >= model_->rowCount())
        return {};
    return model_->index(row, current_column_);
}

void DbGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTableView::currentChanged(current, previous);
    if (!syncing_ && current.isValid() && current.row() != currentRow()) {
        // Something inside the view moved its cursor: the query's current row decides.
        QMetaObject::invokeMethod(this, [this] { syncCurrent(); }, Qt::QueuedConnection);
    }
}

// ---------------------------------------------------------------------------------------------
// Painting

void DbGrid::prepareCell(DbGridDrawCell& cell) const
{
    const bool current = cell.row == currentRow() && cell.column == current_column_;
    cell.focused = current && hasFocusInside();
    cell.selected = current && (cell.focused || always_show_selection_);
    const QPalette& colours = palette();
    cell.background = colours.color(cell.selected ? QPalette::Highlight : QPalette::Base);
    cell.text = colours.color(cell.selected ? QPalette::HighlightedText : QPalette::Text);
    if (!on_draw_cell_ || query_ == nullptr)
        return;
    try {
        // While the handler runs, recNo() answers the painted row.
        Query::PaintScope scope(*query_, cell.row);
        on_draw_cell_(cell);
    } catch (const std::exception& e) {
        // Never a message box in the middle of painting: report it once the paint is over.
        auto* self = const_cast<DbGrid*>(this);
        const QString text = messageOf(e);
        QMetaObject::invokeMethod(self, [self, text] { self->reportError(Error(text)); },
                                  Qt::QueuedConnection);
    }
}

// ---------------------------------------------------------------------------------------------
// Errors

void DbGrid::reportError(const std::exception& error)
{
    try {
        if (on_error_)
            on_error_(error);
        else
            platform::dialogs().error(this, messageOf(error));
    } catch (...) {
        // The error handler failed as well; nothing is left that could tell the user.
        qWarning("DbGrid: an error could not be reported: %s", error.what());
    }
}

void DbGrid::showInvalidValue(const std::exception& error)
{
    try {
        platform::dialogs().message(this, messageOf(error));
    } catch (...) {
        qWarning("DbGrid: a message could not be shown: %s", error.what());
    }
}

} // namespace korimo
