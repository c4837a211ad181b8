#include "chart/chart.h"
#include "chart/chart_output.h"
#include "data/error.h"
#include "recording_printer.h"

#include <QImage>
#include <QRect>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <ostream>

using namespace korimo;
using korimo::testing::RecordingPrinter;

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList& list, std::ostream* os)
{
    *os << '"' << list.join(QStringLiteral("\", \"")).toStdString() << '"';
}

namespace {

QString errorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const Error& e) {
        return e.message();
    }
    return {};
}

const QStringList kQuestions{QStringLiteral("pageWidth"), QStringLiteral("pageHeight"), QStringLiteral("dpiX"),
                             QStringLiteral("dpiY")};

TEST(PrintCommand, DrawsTheChartIntoThePrintRectangleOfThePage)
{
    struct Case {
        int width, height;
        QRect rect; // left, top, right, bottom as the page layout gives them
    };
    const Case cases[] = {
        {4800, 6800, QRect(QPoint(720, 2720), QPoint(4080 - 1, 4080 - 1))}, // portrait
        {6800, 4800, QRect(QPoint(1020, 1440), QPoint(5780 - 1, 3360 - 1))}, // landscape
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width);
        Chart chart;
        RecordingPrinter printer;
        printer.width = c.width;
        printer.height = c.height;
        printChartCommand(chart);

        const QStringList job{QStringLiteral("beginJob DBChart1"), QStringLiteral("painter"),
                              QStringLiteral("endJob")};
        EXPECT_EQ(printer.calls, kQuestions + job);
        const QImage& page = printer.page;
        ASSERT_EQ(page.size(), QSize(c.width, c.height));
        // The page starts black; the chart's background covers the rectangle and nothing else.
        const QRect r = c.rect;
        for (const QPoint inside : {r.topLeft(), r.topRight(), r.bottomLeft(), r.bottomRight(), r.center()})
            EXPECT_NE(qGray(page.pixel(inside)), 0) << inside.x() << "," << inside.y();
        for (const QPoint outside :
             {r.topLeft() - QPoint(1, 0), r.topLeft() - QPoint(0, 1), r.bottomRight() + QPoint(1, 0),
              r.bottomRight() + QPoint(0, 1), r.topRight() + QPoint(1, 0), r.bottomLeft() + QPoint(0, 1)})
            EXPECT_EQ(qGray(page.pixel(outside)), 0) << outside.x() << "," << outside.y();
    }
}

TEST(PrintCommand, ThePrintedChartIsTheScreenChartScaled)
{
    Chart chart;
    chart.lineSeries().add(5, 36.5);
    chart.lineSeries().add(15, 36.9);
    RecordingPrinter printer;
    printChartCommand(chart);
    const QRectF r(720, 2720, 4080 - 720, 4080 - 2720);
    const QImage screen = chart.renderImage().convertToFormat(QImage::Format_Grayscale8);
    // Each screen pixel against the middle of the printed area it became. Lines and text are drawn
    // at the finer resolution, so single pixels differ; on average the two must agree closely.
    const double sx = r.width() / screen.width();
    const double sy = r.height() / screen.height();
    double difference = 0;
    for (int y = 0; y < screen.height(); ++y)
        for (int x = 0; x < screen.width(); ++x) {
            const int px = static_cast<int>(r.x() + (x + 0.5) * sx);
            const int py = static_cast<int>(r.y() + (y + 0.5) * sy);
            difference += std::abs(qGray(printer.page.pixel(px, py)) - qGray(screen.pixel(x, y)));
        }
    EXPECT_LT(difference / (screen.width() * screen.height()), 8.0);
}

TEST(PrintCommand, WithoutADefaultPrinterRaisesTheErrorAndStartsNoJob)
{
    Chart chart;
    RecordingPrinter printer;
    printer.present = false;
    EXPECT_EQ(errorOf([&] { printChartCommand(chart); }),
              QStringLiteral("There is no default printer currently selected"));
    EXPECT_EQ(printer.calls, QStringList{QStringLiteral("pageWidth")});
}

TEST(PrintCommand, AnErrorWhileDrawingOrEndingAbortsTheJobAndIsPassedOn)
{
    struct Case {
        bool inPainter;
        QStringList tail;
    };
    const Case cases[] = {
        {true, {QStringLiteral("beginJob DBChart1"), QStringLiteral("painter"), QStringLiteral("abortJob")}},
        {false,
         {QStringLiteral("beginJob DBChart1"), QStringLiteral("painter"), QStringLiteral("endJob"),
          QStringLiteral("abortJob")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.inPainter);
        Chart chart;
        RecordingPrinter printer;
        (c.inPainter ? printer.painterError : printer.endError) = QStringLiteral("Printer out of paper");
        EXPECT_EQ(errorOf([&] { printChartCommand(chart); }), QStringLiteral("Printer out of paper"));
        EXPECT_EQ(printer.calls, kQuestions + c.tail);
    }
}

} // namespace
