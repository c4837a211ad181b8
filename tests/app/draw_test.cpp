#include "app/main_window.h"
#include "chart/chart.h"
#include "data/connection.h"
#include "data/connection_string.h"
#include "data/query.h"
#include "program_folder.h"
#include "window_driver.h"
#include "scripted_dialogs.h"
#include "widgets/db_grid.h"

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

namespace {


void selectCycle(TFrm_Main& w, int row)
{
    clickCell(w.DBGrid1, row, 1);
}

std::vector<TestDay> temperatures(std::initializer_list<double> values)
{
    std::vector<TestDay> days;
    for (double v : values)
        days.push_back({v});
    return days;
}

void expectRange(const Chart& chart, double low, double high)
{
    EXPECT_DOUBLE_EQ(chart.leftAxis().minimum(), low);
    EXPECT_DOUBLE_EQ(chart.leftAxis().maximum(), high);
}

} // namespace

TEST(DrawCommand, FitsTheLeftAxisToTheCyclesTemperatures)
{
    struct Case {
        std::vector<TestDay> days;
        double low;
        double high;
    };
    const Case cases[] = {
        {{}, 36.2, 37.5},                                // no temperature recorded
        {temperatures({36.5, 36.9, 36.7}), 36.2, 37.2},
        {temperatures({36.55, 36.8}), 36.2, 37.1},      // 36.25 is a tie, rounded to even
        {temperatures({36.45}), 36.2, 36.8},
        {temperatures({36.35, 36.65}), 36.1, 36.9},
        {temperatures({36.05, 36.75}), 35.8, 37.0},     // 37.05 is held slightly below
        {temperatures({36.6, 37.25}), 36.3, 37.5},
        {temperatures({36.6}), 36.3, 36.9},             // a single reading
    };
    for (const Case& c : cases) {
        ProgramFolder folder;
        folder.addCycle(QDate(2010, 1, 1), 28, QString(), c.days);
        ScriptedDialogs dialogs;
        auto w = startProgram(folder);
        expectRange(*w->DBChart1, c.low, c.high);
    }
}

TEST(DrawCommand, ARangeWhollyAboveOrBelowThePreviousOneIsTaken)
{
    ProgramFolder folder;
    folder.addCycle(QDate(2010, 1, 1), 28, QStringLiteral("celsius"));
    folder.addCycle(QDate(2010, 2, 1), 3, QStringLiteral("fahrenheit"), temperatures({97.5, 97.5, 97.5}));
    ScriptedDialogs dialogs;
    auto w = startProgram(folder);
    expectRange(*w->DBChart1, 36.2, 37.5);
    selectCycle(*w, 1);
    expectRange(*w->DBChart1, 97.2, 97.8);
    selectCycle(*w, 0);
    expectRange(*w->DBChart1, 36.2, 37.5);
}

TEST(DrawCommand, MarkersStandOnTheirRowsInDayOrder)
{
    ProgramFolder folder;
    std::vector<TestDay> days(6);
    days[0] = {0, true, false};
    days[1] = {0, true, true};
    days[2] = {36.5, false, true};
    days[4] = {-1, true, false}; // a negative reading: no point, but its flag counts
    folder.addCycle(QDate(2010, 1, 1), 6, QString(), days);
    ScriptedDialogs dialogs;
    auto w = startProgram(folder);
    // Lowest 36.5: bounds 36.2 .. 36.8; markers at 36.4 and 36.3.
    const ChartSeries& markers = w->Series2();
    ASSERT_EQ(markers.count(), 5);
    const struct {
        double x;
        double y;
        const char* label;
    } expected[] = {{1, 36.4, "▲"}, {2, 36.4, "▲"}, {2, 36.3, "★"}, {3, 36.3, "★"}, {5, 36.4, "▲"}};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(markers.point(i).x, expected[i].x) << i;
        EXPECT_NEAR(markers.point(i).y, expected[i].y, 1e-9) << i;
        EXPECT_EQ(markers.point(i).label, QString::fromUtf8(expected[i].label)) << i;
    }
    ASSERT_EQ(w->Series1().count(), 1);
    EXPECT_EQ(w->Series1().point(0).x, 3);
    EXPECT_EQ(w->Series1().point(0).y, 36.5);
}

TEST(DrawCommand, NoTemperatureGivesTheUsualBandAndMarkersAt364And363)
{
    ProgramFolder folder;
    folder.addCycle(QDate(2010, 1, 1), 28, QString(), {{0, true, true}});
    ScriptedDialogs dialogs;
    auto w = startProgram(folder);
    expectRange(*w->DBChart1, 36.2, 37.5);
    ASSERT_EQ(w->Series2().count(), 2);
    EXPECT_NEAR(w->Series2().point(0).y, 36.4, 1e-12);
    EXPECT_NEAR(w->Series2().point(1).y, 36.3, 1e-12);
    EXPECT_EQ(w->Series1().count(), 0);
}

TEST(DrawCommand, LineFollowsTheReadingsAndTheQueriesAreLeftWhereExpected)
{
    ProgramFolder folder;
    folder.addCycle(QDate(2010, 1, 1), 28, QString(), temperatures({36.3, 0, 36.4, 36.45, 0, 36.7}));
    ScriptedDialogs dialogs;
    auto w = startProgram(folder);
    const ChartSeries& line = w->Series1();
    ASSERT_EQ(line.count(), 4);
    const double xs[] = {1, 3, 4, 6};
    const double ys[] = {36.3, 36.4, 36.45, 36.7};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(line.point(i).x, xs[i]);
        EXPECT_EQ(line.point(i).y, ys[i]);
    }
    EXPECT_EQ(w->Q2->recNo(), 28) << "the records grid ends on the last day";
    EXPECT_EQ(w->Q3->recNo(), 1);
    EXPECT_TRUE(w->Q_Pub->isOpen());
    EXPECT_EQ(w->DBChart1->bottomAxis().maximum(), 29);
    EXPECT_EQ(w->DBChart1->topAxis().maximum(), 29);
}

TEST(DrawCommand, EditsShowOnlyAfterTheNextDraw)
{
    ProgramFolder folder;
    folder.addCycle(QDate(2010, 1, 1), 5, QString(), temperatures({36.3}));
    ScriptedDialogs dialogs;
    auto w = startProgram(folder);
    ASSERT_EQ(w->Series1().count(), 1);
    w->Q2->first();
    w->Q2->next();
    w->Q2->fieldByName(QStringLiteral("体温")).setAsFloat(36.6);
    w->Q2->post();
    EXPECT_EQ(w->Series1().count(), 1);
    QTest::mouseClick(w->Button5, Qt::LeftButton);
    EXPECT_EQ(w->Series1().count(), 2);
}

TEST(DrawCommand, EmptyCycleListDoesNothing)
{
    ProgramFolder folder;
    ScriptedDialogs dialogs;
    auto w = startProgram(folder);
    QTest::mouseClick(w->Button5, Qt::LeftButton);
    EXPECT_TRUE(dialogs.shown().empty());
    EXPECT_FALSE(w->Q2->isOpen());
    expectRange(*w->DBChart1, 36.0, 37.2);
    EXPECT_EQ(w->DBChart1->bottomAxis().maximum(), 28);
}

TEST(DrawCommand, ALengthBelowOneShowsDaysZeroToOne)
{
    for (int days : {0, -5}) {
        ProgramFolder folder;
        const qint64 id = folder.addCycle(QDate(2010, 1, 1), 1);
        Connection conn;
        conn.setConnectionString(BuildConnectionString(folder.dataFile()));
        conn.execute(QStringLiteral("update Comment set 天数=%1 where 编号=%2").arg(days).arg(id));
        conn.disconnect();
        ScriptedDialogs dialogs;
        auto w = startProgram(folder);
        EXPECT_EQ(w->DBChart1->bottomAxis().minimum(), 0);
        EXPECT_EQ(w->DBChart1->bottomAxis().maximum(), 1);
    }
}

TEST(DrawCommand, AZoomedMinimumSurvivesTheNextDraw)
{
    ProgramFolder folder;
    folder.addCycle(QDate(2010, 1, 1), 28, QString(), temperatures({36.3, 36.4}));
    folder.addCycle(QDate(2010, 2, 1), 30);
    ScriptedDialogs dialogs;
    auto w = startProgram(folder);
    const QRect plot = w->DBChart1->plotRect();
    w->DBChart1->zoomToRect(QRect(plot.left() + plot.width() / 4, plot.top() + 10, plot.width() / 2,
                                  plot.height() / 2));
    const double zoomedMin = w->DBChart1->bottomAxis().minimum();
    ASSERT_GT(zoomedMin, 0);
    selectCycle(*w, 1);
    EXPECT_EQ(w->DBChart1->bottomAxis().minimum(), zoomedMin);
    EXPECT_EQ(w->DBChart1->bottomAxis().maximum(), 31);
    expectRange(*w->DBChart1, 36.2, 37.5);
}
