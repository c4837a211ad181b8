#include "app/main_window.h"
#include "chart/chart.h"
#include "data/query.h"
#include "program_folder.h"
#include "window_driver.h"
#include "recording_shell.h"
#include "scripted_dialogs.h"
#include "widgets/db_grid.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QCheckBox>
#include <QGroupBox>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <memory>

using namespace korimo;
using korimo::testing::ProgramFolder;
using korimo::testing::cellCenter;
using korimo::testing::clickCell;
using korimo::testing::startProgram;
using korimo::testing::ScriptedDialogs;
using Kind = ScriptedDialogs::Kind;

namespace {




// A right click: the platform turns the press into a context menu event.
void rightClick(QWidget* target, QPoint at)
{
    QTest::mouseClick(target, Qt::RightButton, {}, at);
    QContextMenuEvent menu(QContextMenuEvent::Mouse, at, target->mapToGlobal(at));
    QApplication::sendEvent(target, &menu);
}

bool sameColour(QColor a, QColor b)
{
    return std::abs(a.red() - b.red()) <= 1 && std::abs(a.green() - b.green()) <= 1
        && std::abs(a.blue() - b.blue()) <= 1;
}

QString cycleNote(TFrm_Main& w)
{
    return w.Q1->fieldByName(QStringLiteral("说明")).asText();
}

} // namespace

TEST(StartUp, CaptionAndUpdateAddressComeFromVersionIni)
{
    struct Case {
        const char* ini; // nullptr: no file
        const char* caption;
        const char* host;
    };
    const Case cases[] = {
        {nullptr, "Korimo--V2.0", "127.0.0.1:8765/korimo"},
        {"[Ver]\nVer=3.1\n", "Korimo--V3.1", "127.0.0.1:8765/korimo"},
        {"[Host]\nHost=  updates.example/k  \r\n[Ver]\r\nVer=   3.1   \r\n", "Korimo--V3.1", "updates.example/k"},
        {"[Ver]\nVer=\n[Host]\nOther=x\n", "Korimo--V2.0", "127.0.0.1:8765/korimo"},
    };
    for (const Case& c : cases) {
        ProgramFolder folder;
        if (c.ini != nullptr)
            folder.writeVersionIni(c.ini);
        ScriptedDialogs dialogs;
        auto w = startProgram(folder);
        EXPECT_EQ(w->windowTitle(), QString::fromUtf8(c.caption)) << (c.ini ? c.ini : "no file");
        EXPECT_EQ(w->UpdateHost, QString::fromUtf8(c.host));
        EXPECT_TRUE(dialogs.shown().empty());
        EXPECT_FALSE(w->DBGrid1->isReadOnly());
        EXPECT_FALSE(w->DBGrid2->isReadOnly());
    }
}

TEST(StartUp, MissingWorkingDatabaseShowsTwoErrorsAndAnEmptyWindow)
{
    ProgramFolder folder;
    folder.writeVersionIni("[Ver]\nVer=3.1\n");
    folder.removeDataFile();
    ScriptedDialogs dialogs;
    auto w = startProgram(folder);
    const QString expected = QStringLiteral("Could not find file '%1'.").arg(folder.dataFile());
    ASSERT_EQ(dialogs.texts(Kind::Error), (QStringList{expected, expected}));
    for (const auto& shown : dialogs.shown())
        EXPECT_EQ(shown.title, QStringLiteral("Korimo"));
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Korimo"));
    EXPECT_TRUE(w->isVisible());
    EXPECT_FALSE(w->Q1->isOpen());
    EXPECT_EQ(w->DBGrid1->model()->rowCount(), 0);
    EXPECT_EQ(w->DBGrid2->model()->rowCount(), 0);
    EXPECT_EQ(w->Series1().count(), 0);
    EXPECT_EQ(w->Series2().count(), 0);
    EXPECT_TRUE(w->AppVersion.isEmpty());

    // Later commands report errors of their own, and the program goes on.
    QTest::mouseClick(w->Button5, Qt::LeftButton);
    EXPECT_EQ(dialogs.texts(Kind::Error).size(), 3);
}

TEST(StartUp, FirstCycleIsCurrentAndDrawn)
{
    ProgramFolder folder;
    folder.addCycle(QDate(2010, 1, 1), 28, QStringLiteral("first"),
                    {{36.3, true}, {36.4, true}, {0}, {36.5, false, true}});
    folder.addCycle(QDate(2010, 2, 1), 30, QStringLiteral("second"), {{36.6}});
    ScriptedDialogs dialogs;
    auto w = startProgram(folder);
    EXPECT_EQ(w->Q1->recNo(), 1);
    EXPECT_EQ(cycleNote(*w), QStringLiteral("first"));
    EXPECT_EQ(w->Q2->recordCount(), 28);
    EXPECT_EQ(w->DBGrid2->model()->rowCount(), 28);
    EXPECT_EQ(w->Series1().count(), 3);
    EXPECT_EQ(w->Series2().count(), 3);
    EXPECT_EQ(w->DBChart1->bottomAxis().maximum(), 29);
    EXPECT_TRUE(dialogs.shown().empty());
}

TEST(MainWindow, LayoutPlacesEveryControl)
{
    ProgramFolder folder;
    ScriptedDialogs dialogs;
    auto w = startProgram(folder);
    EXPECT_EQ(w->size(), QSize(865, 682));
    EXPECT_EQ(w->minimumSize(), w->maximumSize()) << "fixed size";
    const struct {
        QWidget* widget;
        QRect geometry;
    } places[] = {
        {w->Panel1, {4, 2, 856, 679}},           {w->ToolBar1, {12, 14, 833, 44}},
        {w->GroupBox1, {12, 64, 430, 198}},      {w->DBGrid1, {10, 24, 413, 139}},
        {w->Button1, {52, 169, 57, 21}},         {w->Button2, {176, 169, 57, 21}},
        {w->Button3, {308, 169, 57, 21}},        {w->GroupBox2, {448, 64, 396, 197}},
        {w->DBGrid2, {12, 23, 373, 140}},        {w->Button4, {73, 168, 55, 21}},
        {w->Button5, {161, 168, 55, 21}},        {w->Button6, {248, 168, 121, 21}},
        {w->GroupBox3, {11, 266, 834, 399}},     {w->DBChart1, {9, 16, 814, 376}},
        {w->ToolButton10, {2, 4, 79, 35}},       {w->ToolButton13, {2 + 5 * 87, 4, 79, 35}},
        {w->CheckBox1, {2 + 6 * 87 + 4, 4, 125, 35}},
    };
    for (const auto& p : places)
        EXPECT_EQ(p.widget->geometry(), p.geometry) << p.widget->objectName().toStdString();
    EXPECT_EQ(w->ToolButton1->text(), QStringLiteral("打印体温曲线"));
    EXPECT_EQ(w->ToolButton15->text(), QStringLiteral("数据备份恢复"));
    EXPECT_EQ(w->Button6->text(), QStringLiteral("保存曲线为图片文件"));
    EXPECT_EQ(w->GroupBox3->title(), QStringLiteral("体温曲线"));
    EXPECT_EQ(w->CheckBox1->text(), QStringLiteral("演示数据(点击切换)"));
    EXPECT_FALSE(w->CheckBox1->focusPolicy() & Qt::TabFocus);
    EXPECT_EQ(w->font().pixelSize(), 12);
    EXPECT_EQ(w->DBGrid1->columnWidth(0), 85);
    EXPECT_EQ(w->DBGrid2->columnWidth(5), 81);
}

TEST(MainWindow, RowsAlternateTheirColoursAndTheCurrentCellIsSkyBlue)
{
    ProgramFolder folder;
    for (int i = 0; i < 5; ++i)
        folder.addCycle(QDate(2010, 1 + i, 1), 28, QStringLiteral("c%1").arg(i));
    ScriptedDialogs dialogs;
    auto w = startProgram(folder);
    const QImage image = w->DBGrid1->viewport()->grab().toImage();
    const QColor light = w->palette().color(QPalette::Midlight);
    const QColor even(227, 223, 224);
    const QColor sky(166, 202, 240);
    for (int row = 0; row < 5; ++row) {
        const QRect cell = w->DBGrid1->visualRect(w->DBGrid1->model()->index(row, 2));
        // A point of the cell away from its text and grid lines.
        const QColor seen = image.pixelColor(cell.right() - 3, cell.top() + 2);
        EXPECT_TRUE(sameColour(seen, row % 2 == 0 ? light : even))
            << "row " << row + 1 << ": " << seen.name().toStdString();
    }
    const QRect current = w->DBGrid1->visualRect(w->DBGrid1->model()->index(0, 0));
    EXPECT_TRUE(sameColour(image.pixelColor(current.right() - 3, current.top() + 2), sky));
}

TEST(MainWindow, DownOnTheLastRowDoesNothing)
{
    ProgramFolder folder;
    folder.addCycle(QDate(2010, 1, 1), 28, QStringLiteral("a"));
    folder.addCycle(QDate(2010, 2, 1), 28, QStringLiteral("b"));
    ScriptedDialogs dialogs;
    auto w = startProgram(folder);
    w->DBGrid1->setFocus();
    QTest::keyClick(w->DBGrid1, Qt::Key_Down);
    EXPECT_EQ(w->Q1->recNo(), 2);
    QTest::keyClick(w->DBGrid1, Qt::Key_Down);
    EXPECT_EQ(w->Q1->recNo(), 2);
    EXPECT_EQ(w->Q1->state(), Query::State::Browse);
    EXPECT_EQ(w->DBGrid1->model()->rowCount(), 2);

    w->DBGrid2->setFocus();
    w->Q2->last();
    QTest::keyClick(w->DBGrid2, Qt::Key_Down);
    EXPECT_EQ(w->Q2->recNo(), 28);
    EXPECT_EQ(w->Q2->state(), Query::State::Browse);
}

TEST(MainWindow, HintMenusSwitchEachGridsHintsAlone)
{
    ProgramFolder folder;
    ScriptedDialogs dialogs;
    auto w = startProgram(folder);
    EXPECT_EQ(w->DBGrid1->toolTip(), TFrm_Main::kGrid1Hint);
    EXPECT_EQ(w->DBGrid1->toolTip().split('\n').size(), 3);

    rightClick(w->DBGrid1->viewport(), QPoint(50, 50));
    ASSERT_TRUE(w->PopupMenu1->isVisible());
    EXPECT_TRUE(w->N1->isEnabled());
    EXPECT_FALSE(w->N2->isEnabled());
    w->N1->trigger();
    w->PopupMenu1->close();
    EXPECT_TRUE(w->DBGrid1->toolTip().isEmpty());
    EXPECT_EQ(w->DBGrid2->toolTip(), TFrm_Main::kGrid2Hint);

    rightClick(w->DBGrid1->viewport(), QPoint(50, 50));
    EXPECT_FALSE(w->N1->isEnabled());
    EXPECT_TRUE(w->N2->isEnabled());
    w->N2->trigger();
    w->PopupMenu1->close();
    EXPECT_EQ(w->DBGrid1->toolTip(), TFrm_Main::kGrid1Hint);

    rightClick(w->DBGrid2->viewport(), QPoint(50, 50));
    ASSERT_TRUE(w->PopupMenu2->isVisible());
    EXPECT_TRUE(w->N3->isEnabled());
    EXPECT_FALSE(w->N4->isEnabled());
    w->N3->trigger();
    w->PopupMenu2->close();
    EXPECT_TRUE(w->DBGrid2->toolTip().isEmpty());
    EXPECT_EQ(w->DBGrid1->toolTip(), TFrm_Main::kGrid1Hint);
}

TEST(MainWindow, HelpAndGuideOpenThroughTheShellWithoutMessages)
{
    ProgramFolder folder; // no help folder at all
    ScriptedDialogs dialogs;
    korimo::testing::RecordingShell shell;
    auto w = startProgram(folder);
    QTest::mouseClick(w->ToolButton10, Qt::LeftButton);
    QTest::mouseClick(w->ToolButton6, Qt::LeftButton);
    EXPECT_EQ(shell.opened,
              (QStringList{folder.path() + "help/help.chm", folder.path() + "help/telvar.htm"}));
    EXPECT_TRUE(dialogs.shown().empty());
    QTest::mouseClick(w->ToolButton13, Qt::LeftButton);
    EXPECT_FALSE(w->isVisible());
}

TEST(DemonstrationSwitch, ShowsTheDemoReadOnlyAndReturnsToTheFirstWorkingCycle)
{
    ProgramFolder folder;
    folder.addCycle(QDate(2010, 1, 1), 28, QStringLiteral("work 1"), {{36.4}});
    folder.addCycle(QDate(2010, 2, 1), 28, QStringLiteral("work 2"), {{36.5}});
    folder.addCycle(folder.demoFile(), QDate(2011, 1, 1), 30, QStringLiteral("demo"), {{36.6}, {36.7}});
    ScriptedDialogs dialogs;
    auto w = startProgram(folder);
    clickCell(w->DBGrid1, 1, 0); // select the second working cycle
    ASSERT_EQ(cycleNote(*w), QStringLiteral("work 2"));

    QTest::mouseClick(w->CheckBox1, Qt::LeftButton);
    EXPECT_TRUE(w->CheckBox1->isChecked());
    EXPECT_EQ(cycleNote(*w), QStringLiteral("demo"));
    EXPECT_EQ(w->Q2->recordCount(), 30);
    EXPECT_EQ(w->Series1().count(), 2);
    EXPECT_TRUE(w->DBGrid1->isReadOnly());
    EXPECT_TRUE(w->DBGrid2->isReadOnly());
    EXPECT_TRUE(w->Conn.isReadOnly());

    QTest::mouseClick(w->CheckBox1, Qt::LeftButton);
    EXPECT_FALSE(w->CheckBox1->isChecked());
    EXPECT_EQ(cycleNote(*w), QStringLiteral("work 1"));
    EXPECT_EQ(w->Q2->recordCount(), 28);
    EXPECT_FALSE(w->DBGrid1->isReadOnly());
    EXPECT_FALSE(w->DBGrid2->isReadOnly());
    EXPECT_TRUE(dialogs.shown().empty());
}

TEST(DemonstrationSwitch, EmptyFilesLeaveTheGridsEmpty)
{
    ProgramFolder folder; // neither file holds a cycle... at first
    folder.addCycle(QDate(2010, 1, 1), 28, QStringLiteral("work"), {{36.4, true}});
    ScriptedDialogs dialogs;
    auto w = startProgram(folder);
    ASSERT_EQ(w->Series1().count(), 1);

    // An empty demonstration file: both grids empty, the previous curve stays.
    QTest::mouseClick(w->CheckBox1, Qt::LeftButton);
    EXPECT_EQ(w->DBGrid1->model()->rowCount(), 0);
    EXPECT_EQ(w->DBGrid2->model()->rowCount(), 0);
    EXPECT_EQ(w->Series1().count(), 1);
    EXPECT_EQ(w->Series2().count(), 1);
}

TEST(DemonstrationSwitch, SwitchingOffToAnEmptyWorkingFileEmptiesTheChart)
{
    ProgramFolder folder;
    folder.addCycle(folder.demoFile(), QDate(2011, 1, 1), 30, QStringLiteral("demo"), {{36.6, true}});
    ScriptedDialogs dialogs;
    auto w = startProgram(folder);
    QTest::mouseClick(w->CheckBox1, Qt::LeftButton);
    ASSERT_EQ(w->Series1().count(), 1);
    QTest::mouseClick(w->CheckBox1, Qt::LeftButton);
    EXPECT_EQ(w->DBGrid1->model()->rowCount(), 0);
    EXPECT_EQ(w->DBGrid2->model()->rowCount(), 0);
    EXPECT_EQ(w->Series1().count(), 0);
    EXPECT_EQ(w->Series2().count(), 0);
}

TEST(DemonstrationSwitch, AFileThatCannotBeOpenedIsReportedAndCanBeSwitchedBack)
{
    ProgramFolder folder;
    folder.addCycle(QDate(2010, 1, 1), 28, QStringLiteral("work"));
    QFile::remove(folder.demoFile());
    ScriptedDialogs dialogs;
    auto w = startProgram(folder);
    QTest::mouseClick(w->CheckBox1, Qt::LeftButton);
    EXPECT_EQ(dialogs.texts(Kind::Error),
              QStringList{QStringLiteral("Could not find file '%1'.").arg(folder.demoFile())});
    EXPECT_TRUE(w->CheckBox1->isChecked());
    EXPECT_FALSE(w->Conn.isConnected());
    EXPECT_EQ(w->DBGrid1->model()->rowCount(), 0);
    EXPECT_EQ(w->DBGrid2->model()->rowCount(), 0);
    EXPECT_FALSE(w->DBGrid1->isReadOnly()) << "keeps its earlier setting";

    QTest::mouseClick(w->CheckBox1, Qt::LeftButton);
    EXPECT_EQ(cycleNote(*w), QStringLiteral("work"));
}
