#include "widgets/db_grid.h"

#include "data/connection.h"
#include "data/error.h"
#include "data/query.h"
#include "scripted_dialogs.h"
#include "temp_database.h"

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>

using namespace korimo;
using korimo::testing::ScriptedDialogs;
using State = Query::State;
using Kind = ScriptedDialogs::Kind;

namespace {

const std::vector<DbGridColumn> kCycleColumns{
    {QStringLiteral("起始日期"), 85, false, {}},
    {QStringLiteral("天数"), 59, false, {}},
    {QStringLiteral("说明"), 235, false, {}},
};
constexpr int kStart = 0;
constexpr int kDays = 1;
constexpr int kNote = 2;

const std::vector<DbGridColumn> kDayColumns{
    {QStringLiteral("序号"), 30, true, {}},  {QStringLiteral("日期"), 87, true, {}},
    {QStringLiteral("体温"), 58, false, {}}, {QStringLiteral("月经"), 36, false, {}},
    {QStringLiteral("同房"), 42, false, {}}, {QStringLiteral("备注"), 81, false, {}},
};

// Every column type editable: 序号 integer, 日期 date, 体温 float, 备注 text.
const std::vector<DbGridColumn> kAllTypesColumns{
    {QStringLiteral("序号"), 40, false, {}},
    {QStringLiteral("日期"), 90, false, {}},
    {QStringLiteral("体温"), 60, false, {}},
    {QStringLiteral("备注"), 80, false, {}},
};

class DbGridTest : public ::testing::Test {
protected:
    DbGridTest()
    {
        conn.setConnectionString(db.connectionString());
        conn.connect();
    }

    void addCycles(int n)
    {
        for (int i = 0; i < n; ++i)
            conn.execute(QStringLiteral("insert into Comment (起始日期, 天数, 说明) values (%1, 28, 'c%2')")
                             .arg(40179 + 30 * i)
                             .arg(i));
    }
    void addDays(int id, int n)
    {
        for (int d = 1; d <= n; ++d)
            conn.execute(QStringLiteral("insert into Heat (编号, 序号, 日期, 体温) values (%1, %2, %3, 36.5)")
                             .arg(id)
                             .arg(d)
                             .arg(40179 + d - 1));
    }

    // A window holding the grid and a line edit to take the focus away, shown and active.
    void open(const QString& sql, const std::vector<DbGridColumn>& columns)
    {
        query = std::make_unique<Query>(conn);
        query->setSql(sql);
        query->open();
        window = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(window.get());
        grid = new DbGrid(window.get());
        other = new QLineEdit(window.get());
        layout->addWidget(grid);
        layout->addWidget(other);
        grid->setColumns(columns);
        grid->setQuery(query.get());
        grid->setOnError([this](const std::exception& e) { errors << QString::fromUtf8(e.what()); });
        grid->setOnExit([this] {
            exitStates.push_back(query->state());
            exitRows.push_back(query->rowCount());
        });
        grid->setOnCellClick([this](int column) { clicks.push_back(column); });
        grid->setOnColEnter([this](int column) { colEnters.push_back(column); });
        window->resize(600, 300);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        grid->setFocus();
        ASSERT_EQ(QApplication::focusWidget(), grid);
    }
    void openCycles(int n)
    {
        addCycles(n);
        open(QStringLiteral("select * from Comment"), kCycleColumns);
    }

    QWidget* focusTarget() const
    {
        QWidget* focus = QApplication::focusWidget();
        return focus != nullptr ? focus : grid;
    }
    void key(Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QTest::keyClick(focusTarget(), k, mods);
    }
    // Each character goes to whatever has the focus: the first one opens the editor.
    void type(const QString& text)
    {
        for (const QChar c : text)
            QTest::keyClick(focusTarget(), c.toLatin1());
    }
    QPoint cell(int row, int column) const
    {
        return grid->visualRect(grid->model()->index(row, column)).center();
    }
    void click(int row, int column)
    {
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, cell(row, column));
    }
    QString shown(int row, int column) const
    {
        return grid->model()->index(row, column).data().toString();
    }
    // A value as stored in the database, read by a query of its own.
    QString stored(const QString& sql)
    {
        Query check(conn);
        check.setSql(sql);
        check.open();
        return check.isEmpty() ? QStringLiteral("<none>") : check.displayText(0, 0);
    }
    bool focusInGrid() const
    {
        QWidget* focus = QApplication::focusWidget();
        return focus != nullptr && (focus == grid || grid->isAncestorOf(focus));
    }

    korimo::testing::TempDatabase db;
    Connection conn;
    ScriptedDialogs dialogs;
    std::unique_ptr<Query> query;
    std::unique_ptr<QWidget> window;
    DbGrid* grid = nullptr;
    QLineEdit* other = nullptr;
    QStringList errors;
    std::vector<State> exitStates;
    std::vector<int> exitRows;
    std::vector<int> clicks;
    std::vector<int> colEnters;
};

// ---------------------------------------------------------------------------------------------

TEST_F(DbGridTest, ShowsTitlesWidthsAndFormattedValues)
{
    addCycles(1);
    addDays(1, 1);
    open(QStringLiteral("select * from Heat"), kDayColumns);
    EXPECT_EQ(grid->model()->headerData(2, Qt::Horizontal).toString(), QStringLiteral("体温"));
    EXPECT_EQ(grid->columnWidth(0), 30);
    EXPECT_EQ(grid->columnWidth(5), 81);
    EXPECT_EQ(shown(0, 1), QStringLiteral("2010/1/1")); // zh_CN short date
    EXPECT_EQ(shown(0, 2), QStringLiteral("36.5"));
    EXPECT_EQ(shown(0, 3), QStringLiteral("－"));
    EXPECT_TRUE(grid->horizontalHeader()->sectionsMovable());
    EXPECT_EQ(grid->horizontalHeader()->sectionResizeMode(0), QHeaderView::Interactive);
    EXPECT_TRUE(grid->showGrid());
}

TEST_F(DbGridTest, MovingToAnotherRowPostsTheChangedRow)
{
    openCycles(3);
    struct Case {
        const char* how;
        std::function<void()> move;
        int rowAfter;
    };
    const std::vector<Case> cases{
        {"Down", [this] { key(Qt::Key_Down); }, 1},
        {"click on another row", [this] { click(2, kNote); }, 2},
        {"Up", [this] { key(Qt::Key_Up); }, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        const int row = query->currentIndex();
        grid->setCurrentColumn(kNote);
        type(QStringLiteral("moved"));
        ASSERT_TRUE(grid->isEditing());
        EXPECT_EQ(query->state(), State::Edit);
        c.move();
        EXPECT_FALSE(grid->isEditing());
        EXPECT_EQ(query->state(), State::Browse);
        EXPECT_EQ(query->currentIndex(), c.rowAfter);
        EXPECT_EQ(grid->currentIndex().row(), c.rowAfter);
        EXPECT_EQ(stored(QStringLiteral("select 说明 from Comment where 编号=%1").arg(row + 1)),
                  QStringLiteral("moved"));
    }
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(DbGridTest, EscapeDiscardsTheCellTextThenTheRowChanges)
{
    openCycles(2);
    grid->setCurrentColumn(kNote);
    type(QStringLiteral("kept"));
    key(Qt::Key_Return);
    EXPECT_FALSE(grid->isEditing());
    EXPECT_EQ(shown(0, kNote), QStringLiteral("kept"));

    key(Qt::Key_Left);
    type(QStringLiteral("99"));
    ASSERT_TRUE(grid->isEditing());
    key(Qt::Key_Escape);
    EXPECT_FALSE(grid->isEditing());
    EXPECT_EQ(shown(0, kDays), QStringLiteral("28"));
    EXPECT_EQ(shown(0, kNote), QStringLiteral("kept"));
    EXPECT_EQ(query->state(), State::Edit);

    key(Qt::Key_Escape);
    EXPECT_EQ(query->state(), State::Browse);
    EXPECT_EQ(shown(0, kNote), QStringLiteral("c0"));
    EXPECT_EQ(stored(QStringLiteral("select 说明 from Comment where 编号=1")), QStringLiteral("c0"));
}

TEST_F(DbGridTest, EscapeOnANewRowRemovesIt)
{
    openCycles(2);
    grid->setCurrentColumn(kNote);
    key(Qt::Key_Insert);
    type(QStringLiteral("new"));
    key(Qt::Key_Return);
    EXPECT_EQ(query->state(), State::Insert);
    EXPECT_EQ(grid->model()->rowCount(), 3);
    key(Qt::Key_Escape);
    EXPECT_EQ(query->state(), State::Browse);
    EXPECT_EQ(grid->model()->rowCount(), 2);
    EXPECT_EQ(stored(QStringLiteral("select count(*) from Comment")), QStringLiteral("2"));
}

TEST_F(DbGridTest, InsertStartsANewRowAheadOfTheCurrentOne)
{
    openCycles(3);
    click(1, kNote);
    key(Qt::Key_Insert);
    EXPECT_EQ(query->state(), State::Insert);
    EXPECT_EQ(query->currentIndex(), 1);
    EXPECT_EQ(grid->currentIndex().row(), 1);
    EXPECT_EQ(grid->model()->rowCount(), 4);
    EXPECT_EQ(shown(1, kNote), QString());
    EXPECT_EQ(shown(2, kNote), QStringLiteral("c1"));
}

TEST_F(DbGridTest, TypingIntoAnEmptyListStartsARow)
{
    open(QStringLiteral("select * from Comment"), kCycleColumns);
    ASSERT_EQ(grid->model()->rowCount(), 0);
    grid->setCurrentColumn(kDays);
    type(QStringLiteral("30"));
    ASSERT_TRUE(grid->isEditing());
    EXPECT_EQ(query->state(), State::Insert);
    EXPECT_EQ(grid->model()->rowCount(), 1);
    key(Qt::Key_Return);
    EXPECT_EQ(shown(0, kDays), QStringLiteral("30"));
    // A row that was typed into survives the focus loss; storing it is the window's business.
    other->setFocus();
    EXPECT_EQ(query->state(), State::Insert);
    EXPECT_EQ(grid->model()->rowCount(), 1);
}

TEST_F(DbGridTest, CtrlDeleteAsksAndDeletesOnOk)
{
    struct Case {
        bool ok;
        int rowsAfter;
    };
    for (const Case c : {Case{true, 2}, Case{false, 3}}) {
        SCOPED_TRACE(c.ok ? "OK" : "Cancel");
        dialogs.clear();
        openCycles(3);
        click(1, kStart);
        dialogs.answer(c.ok);
        key(Qt::Key_Delete, Qt::ControlModifier);
        ASSERT_EQ(dialogs.texts(Kind::OkCancel), QStringList{QStringLiteral("Delete record?")});
        EXPECT_EQ(grid->model()->rowCount(), c.rowsAfter);
        EXPECT_EQ(stored(QStringLiteral("select count(*) from Comment")), QString::number(c.rowsAfter));
        EXPECT_EQ(stored(QStringLiteral("select count(*) from Comment where 说明='c1'")),
                  c.ok ? QStringLiteral("0") : QStringLiteral("1"));
        conn.execute(QStringLiteral("delete from Comment"));
    }
}

TEST_F(DbGridTest, CtrlDeleteInAnEmptyListAsksNothing)
{
    open(QStringLiteral("select * from Comment"), kCycleColumns);
    key(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_TRUE(dialogs.shown().empty());
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(DbGridTest, UntouchedNewRowIsDroppedWhenTheGridLosesTheFocus)
{
    openCycles(3);
    click(1, kNote);
    key(Qt::Key_Insert);
    ASSERT_EQ(grid->model()->rowCount(), 4);
    other->setFocus();
    EXPECT_EQ(query->state(), State::Browse);
    EXPECT_EQ(grid->model()->rowCount(), 3);
    EXPECT_EQ(query->currentIndex(), 1); // the row that was current before Insert
    // The exit event comes after the drop.
    ASSERT_EQ(exitStates.size(), 1u);
    EXPECT_EQ(exitStates[0], State::Browse);
    EXPECT_EQ(exitRows[0], 3);
}

TEST_F(DbGridTest, MessageBoxTakingTheFocusIsNoExit)
{
    openCycles(1);
    key(Qt::Key_Insert);
    QWidget box;
    box.show();
    box.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&box));
    EXPECT_TRUE(exitStates.empty());
    EXPECT_EQ(query->state(), State::Insert);
}

TEST_F(DbGridTest, UntouchedNewRowIsDroppedMovingUp)
{
    openCycles(3);
    struct Case {
        const char* how;
        std::function<void()> start;
        int rowAfter;
    };
    const std::vector<Case> cases{
        {"Insert ahead of row 1", [this] { click(1, kNote); key(Qt::Key_Insert); }, 0},
        {"Insert ahead of row 0", [this] { click(0, kNote); key(Qt::Key_Insert); }, 0},
        {"appended by Down on the last row", [this] { click(2, kNote); key(Qt::Key_Down); }, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        c.start();
        ASSERT_EQ(query->state(), State::Insert);
        key(Qt::Key_Up);
        EXPECT_EQ(query->state(), State::Browse);
        EXPECT_EQ(grid->model()->rowCount(), 3);
        EXPECT_EQ(query->currentIndex(), c.rowAfter);
    }
    EXPECT_EQ(stored(QStringLiteral("select count(*) from Comment")), QStringLiteral("3"));
}

TEST_F(DbGridTest, DownOnTheLastRowAppendsANewRow)
{
    openCycles(3);
    click(2, kNote);
    key(Qt::Key_Down);
    EXPECT_EQ(query->state(), State::Insert);
    EXPECT_EQ(grid->model()->rowCount(), 4);
    EXPECT_EQ(query->currentIndex(), 3);
    // An empty new row at the end stays where it is.
    key(Qt::Key_Down);
    EXPECT_EQ(grid->model()->rowCount(), 4);
    EXPECT_EQ(query->currentIndex(), 3);
    // Typed into, Down stores it and starts a further row.
    type(QStringLiteral("x"));
    key(Qt::Key_Down);
    EXPECT_EQ(stored(QStringLiteral("select count(*) from Comment")), QStringLiteral("4"));
    EXPECT_EQ(grid->model()->rowCount(), 5);
    EXPECT_EQ(query->currentIndex(), 4);
    EXPECT_EQ(query->state(), State::Insert);
}

TEST_F(DbGridTest, DownInAnEmptyListStartsARow)
{
    open(QStringLiteral("select * from Comment"), kCycleColumns);
    key(Qt::Key_Down);
    EXPECT_EQ(query->state(), State::Insert);
    EXPECT_EQ(grid->model()->rowCount(), 1);
    EXPECT_EQ(grid->currentIndex().row(), 0);
}

TEST_F(DbGridTest, IndicatorMarksTheCurrentRowDifferentlyForEachState)
{
    openCycles(2);
    click(1, kNote);
    const auto marker = [this] {
        QHeaderView* indicator = grid->verticalHeader();
        const QRect section(0, indicator->sectionViewportPosition(1), indicator->width(),
                            indicator->sectionSize(1));
        return indicator->viewport()->grab(section).toImage();
    };
    const QImage browsing = marker();
    type(QStringLiteral("x"));
    ASSERT_EQ(query->state(), State::Edit);
    const QImage editing = marker();
    key(Qt::Key_Escape);
    key(Qt::Key_Escape);
    key(Qt::Key_Insert);
    ASSERT_EQ(query->state(), State::Insert);
    const QImage inserting = marker();
    key(Qt::Key_Escape);
    const QImage browsingAgain = marker();
    EXPECT_NE(browsing, editing);
    EXPECT_NE(browsing, inserting);
    EXPECT_NE(editing, inserting);
    EXPECT_EQ(browsing, browsingAgain);
    // Other rows carry no marker.
    click(0, kNote);
    EXPECT_NE(marker(), browsing);
}

TEST_F(DbGridTest, KeyDownHandlerCanSwallowTheKey)
{
    openCycles(3);
    // The main window's guard: Down on the last row never reaches the grid.
    grid->setOnKeyDown([this](const QKeyEvent& e) {
        return e.key() == Qt::Key_Down && query->recNo() >= query->recordCount();
    });
    click(2, kNote);
    key(Qt::Key_Down);
    EXPECT_EQ(query->state(), State::Browse);
    EXPECT_EQ(grid->model()->rowCount(), 3);
    // Also while the editor is open.
    type(QStringLiteral("a"));
    ASSERT_TRUE(grid->isEditing());
    key(Qt::Key_Down);
    EXPECT_TRUE(grid->isEditing());
    EXPECT_EQ(grid->model()->rowCount(), 3);
    // Elsewhere Down passes on.
    key(Qt::Key_Escape);
    key(Qt::Key_Escape);
    key(Qt::Key_Up);
    key(Qt::Key_Down);
    EXPECT_EQ(query->currentIndex(), 2);
}

TEST_F(DbGridTest, ReadOnlyColumnsTakeNoTyping)
{
    addCycles(1);
    addDays(1, 2);
    open(QStringLiteral("select * from Heat"), kDayColumns);
    for (int column : {0, 1}) {
        SCOPED_TRACE(column);
        grid->setCurrentColumn(column);
        type(QStringLiteral("5"));
        if (grid->isEditing()) { // a read-only editor may show, but it takes nothing
            EXPECT_EQ(grid->editor()->text(), shown(0, column));
        }
        EXPECT_EQ(query->state(), State::Browse);
        key(Qt::Key_Escape);
    }
    EXPECT_EQ(stored(QStringLiteral("select 序号 from Heat where 序号=1")), QStringLiteral("1"));
}

TEST_F(DbGridTest, ReadOnlyGridTakesNoTypingInsertingOrDeleting)
{
    openCycles(2);
    grid->setReadOnly(true);
    grid->setCurrentColumn(kNote);
    type(QStringLiteral("x"));
    EXPECT_FALSE(grid->isEditing());
    key(Qt::Key_Insert);
    key(Qt::Key_Delete, Qt::ControlModifier);
    click(1, kNote);
    key(Qt::Key_Down);
    key(Qt::Key_Return);
    EXPECT_FALSE(grid->isEditing());
    EXPECT_EQ(query->state(), State::Browse);
    EXPECT_EQ(grid->model()->rowCount(), 2);
    EXPECT_TRUE(dialogs.shown().empty());
    // Clicks on the current cell still count: no editor can take them.
    clicks.clear();
    click(1, kNote);
    EXPECT_EQ(clicks, std::vector<int>{kNote});
}

TEST_F(DbGridTest, KeyFiltersRefuseWhatTheColumnCannotTake)
{
    addCycles(1);
    addDays(1, 1);
    open(QStringLiteral("select * from Heat"), kAllTypesColumns);
    QSignalSpy refused(grid, &DbGrid::keyRefused);
    struct Case {
        int column;
        char c;
        bool accepted;
    };
    const std::vector<Case> cases{
        {0, '7', true},  {0, '+', true},  {0, '-', true},  {0, 'a', false}, {0, '.', false},
        {2, '3', true},  {2, '.', true},  {2, 'e', true},  {2, 'E', true},  {2, '-', true},
        {2, ',', false}, {2, 'x', false}, {3, ',', true},  {3, 'x', true},  {1, 'x', true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(1, c.c) + " in column " + std::to_string(c.column));
        grid->setCurrentColumn(c.column);
        // Starting the editor by typing.
        refused.clear();
        QTest::keyClick(grid, c.c);
        EXPECT_EQ(grid->isEditing(), c.accepted);
        EXPECT_EQ(refused.count(), c.accepted ? 0 : 1);
        if (grid->isEditing()) {
            EXPECT_EQ(grid->editor()->text(), QString(QLatin1Char(c.c)));
        }
        key(Qt::Key_Escape);
        key(Qt::Key_Escape);
        // Typing into an open editor.
        refused.clear();
        key(Qt::Key_F2);
        ASSERT_TRUE(grid->isEditing());
        const QString before = grid->editor()->text();
        key(Qt::Key_End);
        QTest::keyClick(grid->editor(), c.c);
        EXPECT_EQ(grid->editor()->text(), c.accepted ? before + QLatin1Char(c.c) : before);
        EXPECT_EQ(refused.count(), c.accepted ? 0 : 1);
        key(Qt::Key_Escape);
        key(Qt::Key_Escape);
        ASSERT_EQ(query->state(), State::Browse);
    }
}

TEST_F(DbGridTest, InvalidValueIsRefusedWithItsMessageAndTheValueKept)
{
    addCycles(1);
    addDays(1, 2);
    open(QStringLiteral("select * from Heat"), kAllTypesColumns);
    struct Value {
        int column;
        QString text;
        QString message;
        QString kept;
    };
    const std::vector<Value> values{
        {0, QStringLiteral("+"), QStringLiteral("'+' is not a valid integer value for field '序号'"),
         QStringLiteral("1")},
        {1, QStringLiteral("abc"), QStringLiteral("'abc' is not a valid date and time"),
         QStringLiteral("2010/1/1")},
        {2, QStringLiteral("3..6"),
         QStringLiteral("'3..6' is not a valid floating point value for field '体温'"),
         QStringLiteral("36.5")},
    };
    struct Way {
        const char* name;
        std::function<void()> write;
    };
    const std::vector<Way> ways{
        {"Enter", [this] { key(Qt::Key_Return); }},
        {"leaving the cell", [this] { key(Qt::Key_Down); }},
        {"click on another row", [this] { click(1, 3); }},
        {"focus loss", [this] { other->setFocus(); }},
    };
    for (const Value& v : values)
        for (const Way& w : ways) {
            SCOPED_TRACE(v.text.toStdString() + " by " + w.name);
            dialogs.clear();
            exitStates.clear();
            grid->setCurrentColumn(v.column);
            type(v.text);
            ASSERT_TRUE(grid->isEditing());
            w.write();
            EXPECT_EQ(dialogs.texts(Kind::Message), QStringList{v.message});
            EXPECT_TRUE(grid->isEditing());
            if (grid->isEditing()) {
                EXPECT_EQ(grid->editor()->text(), v.text);
            }
            EXPECT_TRUE(focusInGrid());
            EXPECT_TRUE(exitStates.empty());
            EXPECT_EQ(query->currentIndex(), 0);
            EXPECT_EQ(shown(0, v.column), v.kept);
            key(Qt::Key_Escape);
            key(Qt::Key_Escape);
            ASSERT_FALSE(grid->isEditing());
            ASSERT_EQ(query->state(), State::Browse);
        }
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(DbGridTest, FocusLossWritesTheOpenCellBeforeTheExitEvent)
{
    openCycles(2);
    grid->setCurrentColumn(kNote);
    grid->setOnExit([this] { exitRows.push_back(query->fieldByName(QStringLiteral("说明")).asText() == "zz"); });
    type(QStringLiteral("zz"));
    other->setFocus();
    EXPECT_FALSE(grid->isEditing());
    EXPECT_EQ(query->state(), State::Edit);
    EXPECT_EQ(exitRows, std::vector<int>{1});
}

TEST_F(DbGridTest, TabLeavesTheGrid)
{
    openCycles(2);
    key(Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), other);
    EXPECT_EQ(exitStates.size(), 1u);
    // Also from an open editor, whose text is written on the way out.
    grid->setFocus();
    grid->setCurrentColumn(kNote);
    type(QStringLiteral("t"));
    key(Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), other);
    EXPECT_EQ(shown(0, kNote), QStringLiteral("t"));
}

TEST_F(DbGridTest, ClickOnTheCurrentCellOpensTheEditorAndRaisesNoClick)
{
    openCycles(3);
    click(1, kNote);
    EXPECT_EQ(clicks, std::vector<int>{kNote});
    EXPECT_FALSE(grid->isEditing());
    click(1, kNote);
    EXPECT_TRUE(grid->isEditing());
    EXPECT_EQ(clicks, std::vector<int>{kNote});
    key(Qt::Key_Escape);

    // Titles and the indicator column are no data cells.
    clicks.clear();
    const QHeaderView* titles = grid->horizontalHeader();
    QTest::mouseClick(titles->viewport(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(titles->sectionViewportPosition(kDays) + 5, titles->height() / 2));
    EXPECT_EQ(grid->currentColumn(), kNote);
    const QHeaderView* indicator = grid->verticalHeader();
    QTest::mouseClick(indicator->viewport(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(indicator->width() / 2, indicator->sectionViewportPosition(2) + 3));
    EXPECT_EQ(query->currentIndex(), 2);
    EXPECT_TRUE(clicks.empty());

    // Each release of a double click is a click, and no editor opens.
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, cell(0, kDays));
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, cell(0, kDays));
    QTest::mouseRelease(grid->viewport(), Qt::LeftButton, Qt::NoModifier, cell(0, kDays));
    EXPECT_EQ(clicks, (std::vector<int>{kDays, kDays}));
    EXPECT_FALSE(grid->isEditing());
}

TEST_F(DbGridTest, ColumnEnterFollowsTheCurrentColumn)
{
    openCycles(2);
    key(Qt::Key_Right);
    click(1, kNote);
    key(Qt::Key_Down); // another row, same column: no column enter
    key(Qt::Key_Home);
    EXPECT_EQ(colEnters, (std::vector<int>{kDays, kNote, kStart}));
    // Columns dragged to another place: Right follows what the user sees.
    grid->horizontalHeader()->moveSection(kNote, 0);
    colEnters.clear();
    key(Qt::Key_Home);
    key(Qt::Key_Right);
    EXPECT_EQ(colEnters, (std::vector<int>{kNote, kStart}));
}

TEST_F(DbGridTest, DrawCellSeesThePaintedRowAsRecNo)
{
    openCycles(5);
    click(2, kDays);
    std::map<int, int> recNos;
    std::vector<std::pair<int, int>> selected;
    grid->setOnDrawColumnCell([&](DbGridDrawCell& c) {
        recNos[c.row] = query->recNo();
        if (c.selected)
            selected.emplace_back(c.row, c.column);
        c.background = QColor(227, 223, 224);
    });
    grid->grab();
    ASSERT_EQ(recNos.size(), 5u);
    for (const auto& [row, recNo] : recNos)
        EXPECT_EQ(recNo, row + 1);
    EXPECT_EQ(selected, (std::vector<std::pair<int, int>>{{2, kDays}}));
    EXPECT_EQ(query->recNo(), 3); // painting left the cursor alone
    const QImage image = grid->viewport()->grab().toImage();
    EXPECT_EQ(image.pixelColor(cell(0, kNote)), QColor(227, 223, 224));

    // While a row is inserted every painted row answers -1.
    key(Qt::Key_Insert);
    recNos.clear();
    grid->grab();
    ASSERT_EQ(recNos.size(), 6u);
    for (const auto& [row, recNo] : recNos)
        EXPECT_EQ(recNo, -1);
}

TEST_F(DbGridTest, AlwaysShowSelectionKeepsTheCurrentCellHighlightedWithoutFocus)
{
    openCycles(2);
    struct Case {
        bool always;
        bool focused;
        bool selected;
    };
    const std::vector<Case> cases{
        {true, true, true}, {true, false, true}, {false, true, true}, {false, false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.always ? "always" : "only focused") + (c.focused ? ", focused" : ", not focused"));
        grid->setAlwaysShowSelection(c.always);
        if (c.focused)
            grid->setFocus();
        else
            other->setFocus();
        bool sawSelected = false;
        bool sawFocused = false;
        grid->setOnDrawColumnCell([&](DbGridDrawCell& cell) {
            if (cell.row == 0 && cell.column == 0) {
                sawSelected = cell.selected;
                sawFocused = cell.focused;
            }
        });
        grid->grab();
        EXPECT_EQ(sawSelected, c.selected);
        EXPECT_EQ(sawFocused, c.focused);
    }
}

TEST_F(DbGridTest, FollowsMovesAndReopeningsOfTheQuery)
{
    openCycles(3);
    query->last();
    EXPECT_EQ(grid->currentIndex().row(), 2);
    query->close();
    EXPECT_EQ(grid->model()->rowCount(), 0);
    addCycles(1);
    query->open();
    EXPECT_EQ(grid->model()->rowCount(), 4);
    EXPECT_EQ(grid->currentIndex().row(), 0);
    query->append();
    EXPECT_EQ(grid->model()->rowCount(), 5);
    EXPECT_EQ(grid->currentIndex().row(), 4);
    query->fieldByName(QStringLiteral("说明")).setAsText(QStringLiteral("direct"));
    EXPECT_EQ(shown(4, kNote), QStringLiteral("direct"));
}

TEST_F(DbGridTest, FailedPostReachesTheErrorHandlerAndTheRowStays)
{
    addCycles(1);
    addDays(1, 2);
    open(QStringLiteral("select * from Heat order by 序号"), kAllTypesColumns);
    click(1, 0);
    type(QStringLiteral("1")); // day 1 exists already: the unique index refuses the post
    key(Qt::Key_Up);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains(QStringLiteral("UNIQUE"), Qt::CaseInsensitive)) << errors[0].toStdString();
    EXPECT_EQ(query->currentIndex(), 1);
    EXPECT_EQ(query->state(), State::Edit);
    EXPECT_EQ(grid->currentIndex().row(), 1);

    // Without a handler the error goes to an error box.
    grid->setOnError(nullptr);
    click(0, 0);
    EXPECT_EQ(dialogs.texts(Kind::Error).size(), 1);
    EXPECT_EQ(query->currentIndex(), 1);
}

TEST_F(DbGridTest, ExceptionsOfTheWindowsHandlersGoToTheErrorHandler)
{
    openCycles(2);
    grid->setOnCellClick([](int) { throw Error(QStringLiteral("click failed")); });
    grid->setOnColEnter([](int) { throw Error(QStringLiteral("column failed")); });
    click(1, kNote);
    EXPECT_EQ(errors, (QStringList{QStringLiteral("column failed"), QStringLiteral("click failed")}));
}

} // namespace
