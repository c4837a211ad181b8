#include "app/main_window.h"
#include "chart/chart.h"
#include "data/connection.h"
#include "data/connection_string.h"
#include "data/query.h"
#include "data/values.h"
#include "program_folder.h"
#include "window_driver.h"
#include "scripted_dialogs.h"
#include "widgets/db_grid.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace korimo;
using korimo::testing::ProgramFolder;
using korimo::testing::cellCenter;
using korimo::testing::clickCell;
using korimo::testing::startProgram;
using korimo::testing::ScriptedDialogs;
using korimo::testing::TestDay;
using Kind = ScriptedDialogs::Kind;

namespace {

// Grid columns.
constexpr int kStart = 0, kDays = 1, kNote = 2;
constexpr int kNumber = 0, kTemperature = 2, kMenses = 3, kIntercourse = 4, kRemark = 5;




// Makes the cell current (without a second click, which would open its editor), then types the
// text as the user would and presses Enter.
void typeIntoCell(DbGrid* grid, int row, int column, const QString& text)
{
    grid->setFocus();
    if (grid->query()->currentIndex() != row || grid->currentColumn() != column)
        clickCell(grid, row, column);
    for (const QChar c : text)
        QTest::keyClick(QApplication::focusWidget(), c.toLatin1() != 0 ? c.toLatin1() : 'x');
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
}

void typeText(DbGrid* grid, const QString& text)
{
    grid->setFocus();
    for (const QChar c : text) {
        QWidget* target = QApplication::focusWidget();
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(target, &press);
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
}

void press(QPushButton* button)
{
    // The button takes the focus on the press, as a real click does.
    button->setFocus(Qt::MouseFocusReason);
    QTest::mouseClick(button, Qt::LeftButton);
}

// A fresh connection on the working file, to see what was really stored.
struct Stored {
    explicit Stored(const ProgramFolder& folder)
    {
        conn.setConnectionString(BuildConnectionString(folder.dataFile()));
    }
    int count(const QString& sql)
    {
        Query q(conn);
        q.setSql(sql);
        q.open();
        return q.recordCount();
    }
    std::unique_ptr<Query> days(qint64 id)
    {
        auto q = std::make_unique<Query>(conn);
        q->setSql(QStringLiteral("select * from Heat where 编号=%1 order by 序号").arg(id));
        q->open();
        return q;
    }
    Connection conn;
};

QString text(Query& q, const char* field)
{
    return q.fieldByName(QString::fromUtf8(field)).asText();
}

// Enters a new cycle through the grid: "新增周期", the three cells, "保存周期".
void enterCycle(TFrm_Main& w, const QString& start, const QString& days, const QString& note = {})
{
    press(w.Button1);
    const int row = w.Q1->currentIndex();
    typeText(w.DBGrid1, QString()); // focus the grid on the new row
    if (!start.isEmpty())
        typeIntoCell(w.DBGrid1, row, kStart, start);
    if (!days.isEmpty())
        typeIntoCell(w.DBGrid1, row, kDays, days);
    if (!note.isEmpty())
        typeIntoCell(w.DBGrid1, row, kNote, note);
    press(w.Button2);
}

} // namespace

TEST(CycleEditing, ANewCycleGetsOneDatedDayPerDay)
{
    ProgramFolder folder;
    ScriptedDialogs dialogs;
    auto w = startProgram(folder);
    enterCycle(*w, QStringLiteral("2010-01-30"), QStringLiteral("3"), QStringLiteral("abc"));
    ASSERT_TRUE(dialogs.shown().empty()) << dialogs.texts().join('|').toStdString();
    const qint64 id = w->Q1->fieldByName(QStringLiteral("编号")).asInteger();
    ASSERT_GT(id, 0);
    Stored stored(folder);
    auto days = stored.days(id);
    ASSERT_EQ(days->recordCount(), 3);
    const QDate expected[] = {QDate(2010, 1, 30), QDate(2010, 1, 31), QDate(2010, 2, 1)};
    for (int d = 0; d < 3; ++d, days->next()) {
        EXPECT_EQ(days->fieldByName(QStringLiteral("序号")).asInteger(), d + 1);
        EXPECT_EQ(toDate(days->fieldByName(QStringLiteral("日期")).asDateTime()), expected[d]);
        EXPECT_EQ(text(*days, "月经"), QStringLiteral("－"));
        EXPECT_EQ(text(*days, "同房"), QStringLiteral("－"));
        EXPECT_TRUE(days->fieldByName(QStringLiteral("体温")).isNull());
    }
    // The saved cycle is drawn and its days fill the records grid, the first day current.
    EXPECT_EQ(w->Q2->recordCount(), 3);
    EXPECT_EQ(w->Q2->recNo(), 1);
    EXPECT_EQ(w->DBChart1->bottomAxis().maximum(), 4);
}

TEST(CycleEditing, TheChecksRefuseBadLengthsAndAMissingStartDateFirst)
{
    struct Case {
        const char* start;
        const char* days;
        const char* message; // nullptr: saved
    };
    const Case cases[] = {
        {"2010-01-01", "100", nullptr},
        {"2010-01-01", "101", "超过100天请拆分为多个周期，否则曲线不直观！"},
        {"2010-01-01", "0", "请输入天数！"},
        {"2010-01-01", "", "请输入天数！"},
        {"2010-01-01", "-3", "天数必须在1到100之间！"},
        {"", "101", "请输入起始日期！"},
        {"", "", "请输入起始日期！"},
    };
    for (const Case& c : cases) {
        ProgramFolder folder;
        ScriptedDialogs dialogs;
        auto w = startProgram(folder);
        enterCycle(*w, QString::fromUtf8(c.start), QString::fromUtf8(c.days));
        Stored stored(folder);
        if (c.message == nullptr) {
            EXPECT_TRUE(dialogs.shown().empty()) << dialogs.texts().join('|').toStdString();
            EXPECT_EQ(stored.count(QStringLiteral("select * from Heat")), 100);
        } else {
            EXPECT_EQ(dialogs.texts(), QStringList{QString::fromUtf8(c.message)}) << c.start << "/" << c.days;
            EXPECT_EQ(stored.count(QStringLiteral("select * from Comment")), 0) << "nothing stored";
            // A typed row keeps its state; one nobody typed into was dropped as the grid lost
            // the focus to the button.
            const bool typed = *c.start != 0 || *c.days != 0;
            EXPECT_EQ(w->Q1->state(), typed ? Query::State::Insert : Query::State::Browse);
            EXPECT_EQ(w->Q1->rowCount(), typed ? 1 : 0);
        }
    }
}

TEST(CycleEditing, ShorteningAndLengtheningTrimAndCompleteTheDays)
{
    ProgramFolder folder;
    std::vector<TestDay> values(30, TestDay(36.5));
    values[28] = TestDay(36.9, true);
    const qint64 id = folder.addCycle(QDate(2010, 1, 1), 30, QStringLiteral("c"), values);
    ScriptedDialogs dialogs;
    auto w = startProgram(folder);
    Stored stored(folder);

    typeIntoCell(w->DBGrid1, 0, kDays, QStringLiteral("28"));
    press(w->Button2);
    EXPECT_TRUE(dialogs.shown().empty());
    EXPECT_EQ(stored.days(id)->recordCount(), 28);
    EXPECT_EQ(stored.count(QStringLiteral("select * from Heat where 编号=%1 and 序号>28").arg(id)), 0);

    typeIntoCell(w->DBGrid1, 0, kDays, QStringLiteral("32"));
    press(w->Button2);
    auto days = stored.days(id);
    ASSERT_EQ(days->recordCount(), 32);
    days->last();
    EXPECT_EQ(days->fieldByName(QStringLiteral("序号")).asInteger(), 32);
    for (int d : {29, 30, 31, 32}) {
        ASSERT_TRUE(days->locate(QStringLiteral("编号;序号"), {id, d}));
        EXPECT_EQ(text(*days, "月经"), QStringLiteral("－")) << d;
        EXPECT_EQ(text(*days, "同房"), QStringLiteral("－")) << d;
        EXPECT_TRUE(days->fieldByName(QStringLiteral("体温")).isNull()) << "day 29 lost its reading: " << d;
        EXPECT_EQ(toDate(days->fieldByName(QStringLiteral("日期")).asDateTime()), QDate(2010, 1, 1).addDays(d - 1));
    }
    ASSERT_TRUE(days->locate(QStringLiteral("编号;序号"), {id, 28}));
    EXPECT_EQ(days->fieldByName(QStringLiteral("体温")).asFloat(), 36.5);
}

TEST(CycleEditing, ANewStartDateRedatesEveryDayAndKeepsItsValues)
{
    ProgramFolder folder;
    const qint64 id = folder.addCycle(QDate(2010, 1, 1), 3, QStringLiteral("c"),
                                      {TestDay(36.4, true, false, QStringLiteral("头痛")),
                                       TestDay(36.5, false, true), TestDay(36.6)});
    ScriptedDialogs dialogs;
    auto w = startProgram(folder);
    typeIntoCell(w->DBGrid1, 0, kStart, QStringLiteral("2011-03-05"));
    press(w->Button2);
    Stored stored(folder);
    auto days = stored.days(id);
    ASSERT_EQ(days->recordCount(), 3);
    EXPECT_EQ(toDate(days->fieldByName(QStringLiteral("日期")).asDateTime()), QDate(2011, 3, 5));
    EXPECT_EQ(days->fieldByName(QStringLiteral("体温")).asFloat(), 36.4);
    EXPECT_EQ(text(*days, "月经"), QStringLiteral("√"));
    EXPECT_EQ(text(*days, "备注"), QStringLiteral("头痛"));
    days->next();
    EXPECT_EQ(toDate(days->fieldByName(QStringLiteral("日期")).asDateTime()), QDate(2011, 3, 6));
    EXPECT_EQ(text(*days, "同房"), QStringLiteral("√"));
    days->next();
    EXPECT_EQ(toDate(days->fieldByName(QStringLiteral("日期")).asDateTime()), QDate(2011, 3, 7));
    EXPECT_EQ(days->fieldByName(QStringLiteral("体温")).asFloat(), 36.6);
}

TEST(CycleEditing, AddingTwiceAddsOneRowAndStoresTheTypedRowFirst)
{
    ProgramFolder folder;
    folder.addCycle(QDate(2010, 1, 1), 28, QStringLiteral("old"));
    ScriptedDialogs dialogs;
    auto w = startProgram(folder);
    typeIntoCell(w->DBGrid1, 0, kNote, QStringLiteral("typed"));
    press(w->Button1);
    press(w->Button1);
    EXPECT_EQ(w->Q1->rowCount(), 2);
    EXPECT_EQ(w->Q1->state(), Query::State::Insert);
    Stored stored(folder);
    EXPECT_EQ(stored.count(QStringLiteral("select * from Comment where 说明='typed'")), 1);
}

TEST(CycleDeletion, NoKeepsEverythingAndAnUnsavedRowHasNothingToDelete)
{
    ProgramFolder folder;
    folder.addCycle(QDate(2010, 1, 1), 28, QStringLiteral("a"));
    folder.addCycle(QDate(2010, 2, 1), 28, QStringLiteral("b"));
    ScriptedDialogs dialogs;
    auto w = startProgram(folder);
    dialogs.answer(false);
    press(w->Button3);
    EXPECT_EQ(dialogs.texts(Kind::Confirm), QStringList{QStringLiteral("确定要删除吗，删除后数据无法恢复！")});
    Stored stored(folder);
    EXPECT_EQ(stored.count(QStringLiteral("select * from Comment")), 2);
    EXPECT_EQ(stored.count(QStringLiteral("select * from Heat")), 56);

    dialogs.clear();
    press(w->Button1);
    press(w->Button3);
    EXPECT_EQ(dialogs.texts(), QStringList{QStringLiteral("没有数据，无需删除！")});
}

TEST(CycleDeletion, AnUntouchedNewRowIsDroppedAndTheLastCycleIsAskedFor)
{
    ProgramFolder folder;
    folder.addCycle(QDate(2010, 1, 1), 28, QStringLiteral("a"));
    folder.addCycle(QDate(2010, 2, 1), 28, QStringLiteral("b"));
    ScriptedDialogs dialogs;
    auto w = startProgram(folder);
    press(w->Button1);
    clickCell(w->DBGrid1, 2, kNote); // into the new row, typing nothing
    dialogs.answer(true);
    press(w->Button3);
    EXPECT_EQ(dialogs.texts(Kind::Confirm).size(), 1);
    Stored stored(folder);
    EXPECT_EQ(stored.count(QStringLiteral("select * from Comment where 说明='b'")), 0);
    EXPECT_EQ(stored.count(QStringLiteral("select * from Comment where 说明='a'")), 1);
    EXPECT_EQ(stored.count(QStringLiteral("select * from Heat")), 28);
    EXPECT_EQ(w->Q1->recNo(), 1);
}

TEST(CycleDeletion, DeletingShowsTheFirstCycleAndTheLastOneEmptiesEverything)
{
    ProgramFolder folder;
    folder.addCycle(QDate(2010, 1, 1), 28, QStringLiteral("a"), {TestDay(36.5, true)});
    folder.addCycle(QDate(2010, 2, 1), 30, QStringLiteral("b"), {TestDay(36.6, true)});
    ScriptedDialogs dialogs;
    auto w = startProgram(folder);
    clickCell(w->DBGrid1, 1, kNote);
    dialogs.answer(true);
    press(w->Button3);
    EXPECT_EQ(w->Q1->fieldByName(QStringLiteral("说明")).asText(), QStringLiteral("a"));
    EXPECT_EQ(w->Q2->recordCount(), 28);
    EXPECT_EQ(w->DBChart1->bottomAxis().maximum(), 29);

    dialogs.answer(true);
    press(w->Button3);
    EXPECT_EQ(w->DBGrid1->model()->rowCount(), 0);
    EXPECT_EQ(w->DBGrid2->model()->rowCount(), 0);
    EXPECT_EQ(w->Series1().count(), 0);
    EXPECT_EQ(w->Series2().count(), 0);
    Stored stored(folder);
    EXPECT_EQ(stored.count(QStringLiteral("select * from Heat")), 0);
}

TEST(CycleDeletion, AFailureInsideTheTransactionRollsBothTablesBack)
{
    ProgramFolder folder;
    folder.addCycle(QDate(2010, 1, 1), 28, QStringLiteral("a"));
    {
        Stored setup(folder);
        setup.conn.execute(QStringLiteral(
            "create trigger refuse before delete on Comment begin select raise(abort, 'refused'); end"));
    }
    ScriptedDialogs dialogs;
    auto w = startProgram(folder);
    dialogs.answer(true);
    press(w->Button3);
    EXPECT_EQ(dialogs.texts(Kind::Message), QStringList{QStringLiteral("删除失败！")});
    EXPECT_TRUE(dialogs.texts(Kind::Error).isEmpty());
    Stored stored(folder);
    EXPECT_EQ(stored.count(QStringLiteral("select * from Comment")), 1);
    EXPECT_EQ(stored.count(QStringLiteral("select * from Heat")), 28);
    EXPECT_EQ(w->Q1->rowCount(), 1);
    EXPECT_FALSE(w->Conn.inTransaction());
}

TEST(CycleDeletion, CtrlDeleteInTheCyclesGridTakesTheDayRecordsWithIt)
{
    ProgramFolder folder;
    folder.addCycle(QDate(2010, 1, 1), 28, QStringLiteral("a"), {TestDay(36.5)});
    const qint64 b = folder.addCycle(QDate(2010, 2, 1), 30, QStringLiteral("b"));
    ScriptedDialogs dialogs;
    auto w = startProgram(folder);
    w->DBGrid1->setFocus();
    QTest::keyClick(w->DBGrid1, Qt::Key_Delete, Qt::ControlModifier); // answered Cancel
    Stored stored(folder);
    EXPECT_EQ(stored.count(QStringLiteral("select * from Comment")), 2);

    dialogs.answer(true);
    QTest::keyClick(w->DBGrid1, Qt::Key_Down);
    QTest::keyClick(w->DBGrid1, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(dialogs.texts(Kind::OkCancel), (QStringList{"Delete record?", "Delete record?"}));
    EXPECT_EQ(stored.count(QStringLiteral("select * from Comment")), 1);
    EXPECT_EQ(stored.count(QStringLiteral("select * from Heat where 编号=%1").arg(b)), 0);
    EXPECT_EQ(stored.count(QStringLiteral("select * from Heat")), 28);
    EXPECT_EQ(w->Series1().count(), 1) << "nothing is redrawn";
}

TEST(RecordEditing, FlagClicksToggleAndStoreWhenTheRowIsLeft)
{
    ProgramFolder folder;
    const qint64 id = folder.addCycle(QDate(2010, 1, 1), 5, QStringLiteral("a"),
                                      {TestDay(), TestDay(), TestDay(0, false, false, QStringLiteral("x"))});
    {
        Stored setup(folder);
        setup.conn.execute(QStringLiteral("update Heat set 月经='是' where 序号=3"));
    }
    ScriptedDialogs dialogs;
    auto w = startProgram(folder);
    w->DBGrid2->setFocus();
    clickCell(w->DBGrid2, 0, kMenses);
    EXPECT_EQ(text(*w->Q2, "月经"), QStringLiteral("√"));
    clickCell(w->DBGrid2, 0, kRemark); // elsewhere in the row
    clickCell(w->DBGrid2, 0, kMenses);
    EXPECT_EQ(text(*w->Q2, "月经"), QStringLiteral("－"));
    clickCell(w->DBGrid2, 0, kRemark);
    clickCell(w->DBGrid2, 0, kMenses);
    EXPECT_EQ(text(*w->Q2, "月经"), QStringLiteral("√"));

    // The 同房 cell of another day: the first day's change is stored, the new cell toggles.
    clickCell(w->DBGrid2, 1, kIntercourse);
    EXPECT_EQ(w->Q2->recNo(), 2);
    EXPECT_EQ(text(*w->Q2, "同房"), QStringLiteral("√"));
    Stored stored(folder);
    {
        auto days = stored.days(id);
        EXPECT_EQ(text(*days, "月经"), QStringLiteral("√"));
    }

    // A double click on a flag cell that is not current toggles twice.
    QTest::mouseDClick(w->DBGrid2->viewport(), Qt::LeftButton, {}, cellCenter(w->DBGrid2, 3, kMenses));
    EXPECT_EQ(w->Q2->recNo(), 4);
    EXPECT_EQ(text(*w->Q2, "月经"), QStringLiteral("－"));

    // Other text is left alone.
    clickCell(w->DBGrid2, 2, kMenses);
    EXPECT_EQ(text(*w->Q2, "月经"), QStringLiteral("是"));

    // Leaving the grid stores the pending change.
    press(w->Button5);
    auto days = stored.days(id);
    days->next();
    EXPECT_EQ(text(*days, "同房"), QStringLiteral("√"));
}

TEST(RecordEditing, ATypedTemperatureIsStoredBeforeAnotherCycleIsDrawn)
{
    ProgramFolder folder;
    const qint64 a = folder.addCycle(QDate(2010, 1, 1), 5, QStringLiteral("a"));
    folder.addCycle(QDate(2010, 2, 1), 6, QStringLiteral("b"));
    ScriptedDialogs dialogs;
    auto w = startProgram(folder);
    clickCell(w->DBGrid2, 1, kTemperature);
    typeText(w->DBGrid2, QStringLiteral("36.55"));
    EXPECT_EQ(w->Q2->state(), Query::State::Edit);
    QTest::mousePress(w->DBGrid1->viewport(), Qt::LeftButton, {}, cellCenter(w->DBGrid1, 1, kNote));
    Stored stored(folder);
    EXPECT_EQ(stored.count(QStringLiteral("select * from Heat where 编号=%1 and 体温=36.55").arg(a)), 1)
        << "stored as the focus left the grid, before the click draws";
    QTest::mouseRelease(w->DBGrid1->viewport(), Qt::LeftButton, {}, cellCenter(w->DBGrid1, 1, kNote));
    EXPECT_EQ(w->Q2->recordCount(), 6);
    EXPECT_TRUE(dialogs.shown().empty());
}

TEST(RecordEditing, RecordsGridIsReadOnlyWhileAnUnsavedCycleIsCurrent)
{
    ProgramFolder folder;
    folder.addCycle(QDate(2010, 1, 1), 5, QStringLiteral("a"));
    ScriptedDialogs dialogs;
    auto w = startProgram(folder);
    press(w->Button1);
    clickCell(w->DBGrid2, 0, kTemperature);
    EXPECT_TRUE(w->DBGrid2->isReadOnly());
    typeText(w->DBGrid2, QStringLiteral("36"));
    EXPECT_EQ(w->Q2->state(), Query::State::Browse);
    clickCell(w->DBGrid2, 1, kMenses); // the toggle still works
    EXPECT_EQ(text(*w->Q2, "月经"), QStringLiteral("√"));
}

TEST(RecordEditing, TheRecordsGridNeverBeginsARowOfItsOwn)
{
    ProgramFolder folder;
    folder.addCycle(QDate(2010, 1, 1), 3, QStringLiteral("a"));
    ScriptedDialogs dialogs;
    auto w = startProgram(folder);
    w->DBGrid2->setFocus();
    QTest::keyClick(w->DBGrid2, Qt::Key_Insert);
    EXPECT_EQ(w->Q2->state(), Query::State::Browse);
    EXPECT_EQ(w->Q2->rowCount(), 3);

    // An empty records list (a cycle whose days were all removed), and one never opened.
    {
        Stored setup(folder);
        setup.conn.execute(QStringLiteral("delete from Heat"));
    }
    press(w->Button5);
    ASSERT_EQ(w->Q2->rowCount(), 0);
    w->DBGrid2->setFocus();
    typeText(w->DBGrid2, QStringLiteral("36"));
    QTest::keyClick(w->DBGrid2, Qt::Key_Down);
    QTest::keyClick(w->DBGrid2, Qt::Key_Insert);
    QTest::mouseClick(w->DBGrid2->viewport(), Qt::LeftButton, {}, QPoint(120, 10));
    press(w->Button4);
    EXPECT_EQ(w->Q2->rowCount(), 0);
    Stored stored(folder);
    EXPECT_EQ(stored.count(QStringLiteral("select * from Heat")), 0);
    EXPECT_TRUE(dialogs.shown().empty());

    ProgramFolder empty;
    auto fresh = startProgram(empty);
    press(fresh->Button4);
    EXPECT_FALSE(fresh->Q2->isOpen());
    EXPECT_TRUE(dialogs.shown().empty());
}

TEST(RecordEditing, CtrlDeleteOfADayAndSaveCycleBringsItBackEmpty)
{
    ProgramFolder folder;
    std::vector<TestDay> values(7, TestDay(36.5, true, true, QStringLiteral("r")));
    const qint64 id = folder.addCycle(QDate(2010, 1, 1), 7, QStringLiteral("a"), values);
    ScriptedDialogs dialogs;
    auto w = startProgram(folder);
    clickCell(w->DBGrid2, 4, kNumber);
    dialogs.answer(true);
    QTest::keyClick(w->DBGrid2, Qt::Key_Delete, Qt::ControlModifier);
    Stored stored(folder);
    EXPECT_EQ(stored.days(id)->recordCount(), 6);
    press(w->Button2);
    auto days = stored.days(id);
    ASSERT_EQ(days->recordCount(), 7);
    ASSERT_TRUE(days->locate(QStringLiteral("编号;序号"), {id, 5}));
    EXPECT_TRUE(days->fieldByName(QStringLiteral("体温")).isNull());
    EXPECT_EQ(text(*days, "月经"), QStringLiteral("－"));
    EXPECT_EQ(text(*days, "备注"), QString());
    EXPECT_EQ(toDate(days->fieldByName(QStringLiteral("日期")).asDateTime()), QDate(2010, 1, 5));
}

TEST(Demonstration, EveryDataEntryCommandIsRefusedButDrawingWorks)
{
    ProgramFolder folder;
    folder.addCycle(folder.demoFile(), QDate(2010, 1, 1), 5, QStringLiteral("demo"), {TestDay(36.5)});
    folder.addCycle(folder.demoFile(), QDate(2010, 2, 1), 6, QStringLiteral("demo 2"));
    ScriptedDialogs dialogs;
    auto w = startProgram(folder);
    QTest::mouseClick(w->CheckBox1, Qt::LeftButton);
    for (QPushButton* b : {w->Button1, w->Button2, w->Button3, w->Button4})
        press(b);
    EXPECT_EQ(dialogs.texts(), QStringList(4, QStringLiteral("演示数据中不允许此操作！")));
    clickCell(w->DBGrid2, 0, kMenses);
    EXPECT_EQ(text(*w->Q2, "月经"), QStringLiteral("－"));
    EXPECT_EQ(w->Q2->state(), Query::State::Browse);
    clickCell(w->DBGrid1, 1, kNote);
    EXPECT_EQ(w->Q2->recordCount(), 6);
}

// A whole cycle entered as a user would: the cycle, then 28 mornings, flags by clicks.
TEST(EndToEnd, A28DayCycleEnteredThroughTheGrids)
{
    ProgramFolder folder;
    ScriptedDialogs dialogs;
    auto w = startProgram(folder);
    enterCycle(*w, QStringLiteral("2010-03-01"), QStringLiteral("28"), QStringLiteral("三月"));
    ASSERT_EQ(w->Q2->recordCount(), 28);

    std::vector<double> temps;
    for (int d = 1; d <= 28; ++d)
        temps.push_back(d <= 14 ? 36.3 + (d % 3) * 0.05 : 36.7 + (d % 2) * 0.05);
    for (int d = 0; d < 28; ++d) {
        if (d == 9)
            continue; // a morning without a reading
        typeIntoCell(w->DBGrid2, d, kTemperature, QString::number(temps[static_cast<size_t>(d)]));
    }
    for (int d = 0; d < 5; ++d)
        clickCell(w->DBGrid2, d, kMenses);
    for (int d : {12, 15})
        clickCell(w->DBGrid2, d, kIntercourse);
    press(w->Button5);
    ASSERT_TRUE(dialogs.shown().empty()) << dialogs.texts().join('|').toStdString();

    Stored stored(folder);
    const qint64 id = w->Q1->fieldByName(QStringLiteral("编号")).asInteger();
    auto days = stored.days(id);
    ASSERT_EQ(days->recordCount(), 28);
    for (int d = 1; d <= 28; ++d, days->next()) {
        if (d == 10)
            EXPECT_TRUE(days->fieldByName(QStringLiteral("体温")).isNull());
        else
            EXPECT_DOUBLE_EQ(days->fieldByName(QStringLiteral("体温")).asFloat(), temps[static_cast<size_t>(d - 1)]) << d;
        EXPECT_EQ(text(*days, "月经"), d <= 5 ? QStringLiteral("√") : QStringLiteral("－")) << d;
        EXPECT_EQ(text(*days, "同房"), (d == 13 || d == 16) ? QStringLiteral("√") : QStringLiteral("－")) << d;
    }
    const ChartSeries& line = w->Series1();
    ASSERT_EQ(line.count(), 27);
    EXPECT_EQ(line.point(8).x, 9);
    EXPECT_EQ(line.point(9).x, 11);
    EXPECT_DOUBLE_EQ(line.point(9).y, temps[10]);
    ASSERT_EQ(w->Series2().count(), 7);
    EXPECT_EQ(w->Series2().point(0).label, QStringLiteral("▲"));
    EXPECT_EQ(w->Series2().point(6).x, 16);
    EXPECT_EQ(w->Series2().point(6).label, QStringLiteral("★"));
    EXPECT_DOUBLE_EQ(w->DBChart1->leftAxis().minimum(), 36.0);
    EXPECT_DOUBLE_EQ(w->DBChart1->leftAxis().maximum(), 37.0); // highest 36.75
}
