#include "app/main_window.h"
#include "chart/chart.h"
#include "program_folder.h"
#include "recording_printer.h"
#include "scripted_dialogs.h"
#include "window_driver.h"

#include <QImage>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace korimo;
using korimo::testing::ProgramFolder;
using korimo::testing::ScriptedDialogs;
using korimo::testing::TestDay;
using korimo::testing::startProgram;
using Kind = ScriptedDialogs::Kind;

TEST(ChartOutputFromTheMainWindow, SavesExactlyWhatTheScreenShows)
{
    ProgramFolder folder;
    folder.addCycle(QDate(2010, 1, 1), 28, QStringLiteral("一月"), {TestDay(36.4, true), TestDay(36.6)});
    ScriptedDialogs dialogs;
    auto w = startProgram(folder);
    QTemporaryDir dir;
    dialogs.choose(dir.filePath(QStringLiteral("curve")));
    QTest::mouseClick(w->Button6, Qt::LeftButton);
    ASSERT_EQ(dialogs.texts(Kind::Message), QStringList{QStringLiteral("曲线保存为图片文件成功！")});
    ASSERT_EQ(dialogs.shown().front().fileName, QStringLiteral("一月"));
    const QImage saved(dir.filePath(QStringLiteral("curve.jpg")), "BMP");
    ASSERT_EQ(saved.size(), QSize(814, 376));
    EXPECT_EQ(saved.convertToFormat(QImage::Format_RGB32), w->DBChart1->renderImage());
}

TEST(ChartOutputFromTheMainWindow, PrintsTheChartOrSaysThereIsNoPrinter)
{
    ProgramFolder folder;
    folder.addCycle(QDate(2010, 1, 1), 28, QStringLiteral("a"), {TestDay(36.4)});
    ScriptedDialogs dialogs;
    korimo::testing::RecordingPrinter printer;
    auto w = startProgram(folder);
    QTest::mouseClick(w->ToolButton1, Qt::LeftButton);
    EXPECT_TRUE(printer.calls.contains(QStringLiteral("beginJob DBChart1")));
    EXPECT_EQ(printer.calls.constLast(), QStringLiteral("endJob"));
    EXPECT_TRUE(dialogs.shown().empty());

    printer.present = false;
    printer.calls.clear();
    QTest::mouseClick(w->ToolButton1, Qt::LeftButton);
    EXPECT_EQ(dialogs.texts(Kind::Error),
              QStringList{QStringLiteral("There is no default printer currently selected.")});
    EXPECT_FALSE(printer.calls.join(' ').contains(QStringLiteral("beginJob")));
}
