#include "chart/axis_labels.h"
#include "chart/chart.h"
#include "chart/chart_style.h"
#include "chart/vertical_range.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

#include <ostream>

#include <cmath>
#include <stdexcept>

namespace {

using korimo::AxisPosition;
using korimo::Chart;
using korimo::ChartSeries;
namespace style = korimo::chart::style;

// True when a pixel of `color` lies within `radius` pixels of (x, y).
bool colorNear(const QImage& image, QPointF at, QColor color, int radius = 1)
{
    const int cx = static_cast<int>(std::lround(at.x()));
    const int cy = static_cast<int>(std::lround(at.y()));
    for (int y = cy - radius; y <= cy + radius; ++y)
        for (int x = cx - radius; x <= cx + radius; ++x)
            if (image.valid(x, y) && image.pixelColor(x, y).rgb() == color.rgb())
                return true;
    return false;
}

// A chart set up the way the draw command leaves it for a 28-day cycle.
void drawCycle(Chart& chart)
{
    chart.leftAxis().setMinMax(36.2, 37.2);
    chart.bottomAxis().setMaximum(29);
    chart.topAxis().setMaximum(29);
}

TEST(Chart, StartsWithTheInitialRangesAndNoPoints)
{
    Chart chart;
    EXPECT_EQ(chart.size(), QSize(814, 376));
    struct Case {
        AxisPosition position;
        double minimum, maximum, increment;
        bool visible;
    };
    for (const Case& c : {Case{AxisPosition::Left, 36.0, 37.2, 0.1, true}, Case{AxisPosition::Bottom, 0, 28, 1, true},
                          Case{AxisPosition::Top, 0, 28, 1, false}}) {
        const auto& axis = chart.axis(c.position);
        EXPECT_EQ(axis.minimum(), c.minimum);
        EXPECT_EQ(axis.maximum(), c.maximum);
        EXPECT_EQ(axis.increment(), c.increment);
        EXPECT_EQ(axis.isVisible(), c.visible);
    }
    EXPECT_FALSE(chart.rightAxis().isVisible());
    EXPECT_EQ(chart.lineSeries().kind(), ChartSeries::Kind::Line);
    EXPECT_EQ(chart.lineSeries().horizontalAxis(), AxisPosition::Bottom);
    EXPECT_EQ(chart.lineSeries().color(), style::red());
    EXPECT_EQ(chart.pointSeries().kind(), ChartSeries::Kind::Points);
    EXPECT_EQ(chart.pointSeries().horizontalAxis(), AxisPosition::Top);
    EXPECT_EQ(chart.lineSeries().count(), 0);
    EXPECT_EQ(chart.pointSeries().count(), 0);
    EXPECT_FALSE(chart.isZoomed());
}

TEST(ChartSeries, KeepsPointsInAscendingXWithEqualXInArrivalOrder)
{
    Chart chart;
    ChartSeries& s = chart.pointSeries();
    struct Add {
        double x;
        const char* label;
        int index; // where add() reports the point went
    };
    for (const Add& a : {Add{3, "a", 0}, Add{1, "b", 0}, Add{3, "c", 2}, Add{2, "d", 1}, Add{3, "e", 4},
                         Add{1, "f", 1}, Add{0.5, "g", 0}, Add{7, "h", 7}})
        EXPECT_EQ(s.add(a.x, 36.4, QString::fromUtf8(a.label)), a.index) << a.label;
    QString order;
    for (int i = 0; i < s.count(); ++i)
        order += s.point(i).label;
    EXPECT_EQ(order, QStringLiteral("gbfdaceh"));
    for (int i = 1; i < s.count(); ++i)
        EXPECT_LE(s.point(i - 1).x, s.point(i).x);
}

TEST(ChartSeries, PointsCarryTheirValuesAndTheSeriesColourByDefault)
{
    Chart chart;
    ChartSeries& s = chart.lineSeries();
    s.add(1, 36.55);
    s.add(2, 36.6, QStringLiteral("x"), QColor(Qt::green));
    ASSERT_EQ(s.count(), 2);
    EXPECT_EQ(s.point(0).x, 1);
    EXPECT_EQ(s.point(0).y, 36.55);
    EXPECT_TRUE(s.point(0).label.isEmpty());
    EXPECT_EQ(s.point(0).color, style::red());
    EXPECT_EQ(s.point(1).color, QColor(Qt::green));
    EXPECT_EQ(s.point(1).label, QStringLiteral("x"));
    EXPECT_THROW(s.point(2), std::out_of_range);
    EXPECT_THROW(s.point(-1), std::out_of_range);
    s.clear();
    EXPECT_EQ(s.count(), 0);
    EXPECT_THROW(s.point(0), std::out_of_range);
}

// The labels that fit along an axis at the widget's size, as the label-step rule counts them.
int labelsFit(const Chart& chart, AxisPosition position)
{
    const QFontMetrics metrics(style::axisFont());
    const QRect plot = chart.plotRect();
    if (position == AxisPosition::Left)
        return korimo::chart::labelsThatFit(plot.height(), metrics.height(),
                                            korimo::chart::labelSeparation(metrics.height(), 1));
    const auto& axis = chart.axis(position);
    const int width = std::max(metrics.horizontalAdvance(korimo::chart::formatNumber(axis.minimum())),
                               metrics.horizontalAdvance(korimo::chart::formatNumber(axis.maximum())));
    return korimo::chart::labelsThatFit(plot.width(), width, korimo::chart::labelSeparation(width, 10));
}

struct StepCase {
    AxisPosition axis;
    double minimum, maximum;
    double expectedStep; // 0: only the rule itself is checked
    int expectedLabels;  // -1: not checked
};

void PrintTo(const StepCase& c, std::ostream* os)
{
    *os << (c.axis == AxisPosition::Left ? "left " : "bottom ") << c.minimum << ".." << c.maximum;
}

class ChartLabelSteps : public ::testing::TestWithParam<StepCase> {};

TEST_P(ChartLabelSteps, GrowOnlyAsFarAsTheLabelsNeed)
{
    const StepCase c = GetParam();
    Chart chart;
    chart.axis(c.axis).setMinMax(c.minimum, c.maximum);
    const double step = chart.labelStep(c.axis);
    if (c.expectedStep > 0) {
        EXPECT_DOUBLE_EQ(step, c.expectedStep);
    }
    if (c.expectedLabels >= 0) {
        EXPECT_EQ(static_cast<int>(chart.labelValues(c.axis).size()), c.expectedLabels);
    }

    // The rule: the chosen step's labels fit, and the one before it in the 1-2-5 row did not.
    const int fit = labelsFit(chart, c.axis);
    const double increment = chart.axis(c.axis).increment();
    const double range = c.maximum - c.minimum;
    EXPECT_LE(std::nearbyint(range / step), fit);
    if (std::fabs(step - increment) > 1e-12) {
        double previous = increment;
        while (korimo::chart::nextLabelStep(previous) < step * (1 - 1e-9))
            previous = korimo::chart::nextLabelStep(previous);
        EXPECT_GT(std::nearbyint(range / previous), fit);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ChartLabelSteps,
    ::testing::Values(
        StepCase{AxisPosition::Bottom, 0, 29, 1, 30},   // 28 days: one label per day, 0 to 29
        StepCase{AxisPosition::Bottom, 0, 101, 5, 21},  // 100 days: every fifth day
        StepCase{AxisPosition::Bottom, 0, 8, 1, 9},
        StepCase{AxisPosition::Bottom, 0, 1000, 0, -1},
        StepCase{AxisPosition::Left, 36.0, 37.2, 0.1, 13},
        StepCase{AxisPosition::Left, 36.2, 37.5, 0.1, 14},
        StepCase{AxisPosition::Left, 97.2, 97.8, 0.1, 7},
        StepCase{AxisPosition::Left, 30, 40, 0, -1},
        StepCase{AxisPosition::Left, 0, 100, 0, -1}));

TEST(ChartGeometry, LaysOutTitlePlotAndFootWithinTheMargins)
{
    Chart chart;
    const QRect plot = chart.plotRect();
    const QRect title = chart.titleRect();
    const QRect foot = chart.footRect();
    EXPECT_GE(plot.left(), 24);  // 3 % of 814
    EXPECT_LE(plot.right(), 814 - 24);
    EXPECT_GE(title.top(), 15);  // 4 % of 376
    EXPECT_LE(foot.bottom(), 376 - 11);
    EXPECT_LT(title.bottom(), plot.top());
    EXPECT_LT(plot.bottom(), foot.top());

    const QFontMetrics metrics(style::titleFont());
    EXPECT_EQ(title.width(), metrics.horizontalAdvance(style::title()) + metrics.horizontalAdvance(QLatin1Char('W')));
    EXPECT_LE(std::abs(title.center().x() - 814 / 2), 1);
}

TEST(ChartGeometry, MapsAxisRangesOntoThePlotEdges)
{
    Chart chart;
    drawCycle(chart);
    chart.topAxis().setMinMax(0, 58);
    const QRect plot = chart.plotRect();
    const double left = plot.x();
    const double right = plot.x() + plot.width();
    const double top = plot.y();
    const double bottom = plot.y() + plot.height();
    EXPECT_EQ(chart.mapToPixel(0, 36.2), QPointF(left, bottom));
    EXPECT_EQ(chart.mapToPixel(29, 37.2), QPointF(right, top));
    EXPECT_DOUBLE_EQ(chart.mapToPixel(14.5, 36.7).x(), (left + right) / 2);
    EXPECT_DOUBLE_EQ(chart.mapToPixel(14.5, 36.7).y(), (top + bottom) / 2);
    // The markers' X runs on the top axis.
    EXPECT_DOUBLE_EQ(chart.mapToPixel(29, 36.2, AxisPosition::Top).x(), (left + right) / 2);
    EXPECT_DOUBLE_EQ(chart.valueAt(AxisPosition::Bottom, (left + right) / 2), 14.5);
    EXPECT_DOUBLE_EQ(chart.valueAt(AxisPosition::Left, bottom), 36.2);
}

TEST(ChartPicture, TheRedLinePassesThroughThePointsPixels)
{
    Chart chart;
    drawCycle(chart);
    // Mark boxes stand above each point; sample the line between points, where nothing covers it.
    chart.lineSeries().add(4, 36.5);
    chart.lineSeries().add(12, 36.5);
    chart.lineSeries().add(20, 37.0);
    const QImage image = chart.renderImage();
    ASSERT_EQ(image.size(), QSize(814, 376));
    EXPECT_EQ(image.format(), QImage::Format_RGB32);
    for (const QPointF& sample : {chart.mapToPixel(6, 36.5), chart.mapToPixel(8, 36.5), chart.mapToPixel(10, 36.5),
                                  chart.mapToPixel(16, 36.75), chart.mapToPixel(18, 36.875)})
        EXPECT_TRUE(colorNear(image, sample, style::red())) << sample.x() << "," << sample.y();
    // Under the connectors, the line still shows at the points themselves.
    for (const QPointF& point : {chart.mapToPixel(4, 36.5), chart.mapToPixel(12, 36.5)})
        EXPECT_TRUE(colorNear(image, point, style::red(), 2)) << point.x() << "," << point.y();
    // Below the line, away from it, there is no red.
    EXPECT_FALSE(colorNear(image, chart.mapToPixel(8, 36.3), style::red(), 3));
}

TEST(ChartPicture, TheValueMarkStandsAboveItsPoint)
{
    Chart chart;
    drawCycle(chart);
    chart.lineSeries().add(10, 36.6);
    const QImage image = chart.renderImage();
    const QPointF at = chart.mapToPixel(10, 36.6);
    // The dark blue connector sits on the point, the value text (blue) above it.
    EXPECT_TRUE(colorNear(image, at + QPointF(0, -1), style::connector()));
    bool text = false;
    for (int dy = 3; dy < 16 && !text; ++dy)
        for (int dx = -12; dx <= 12 && !text; ++dx) {
            const QColor c = image.pixelColor(static_cast<int>(at.x()) + dx, static_cast<int>(at.y()) - dy);
            text = c.blue() > 150 && c.red() < 120 && c.green() < 120;
        }
    EXPECT_TRUE(text);
}

TEST(ChartPicture, AMarkerSquareSitsWhereItsYMaps)
{
    Chart chart;
    drawCycle(chart);
    const double y = korimo::MenstruationMarkerY(36.2);
    chart.pointSeries().add(12, y, QStringLiteral("▲"));
    const QImage image = chart.renderImage();
    const QPointF at = chart.mapToPixel(12, y, AxisPosition::Top);
    EXPECT_TRUE(colorNear(image, at, Qt::white, 0));
    // Black outline 4 pixels from the centre on every side.
    EXPECT_TRUE(colorNear(image, at + QPointF(0, 4), Qt::black));
    EXPECT_TRUE(colorNear(image, at + QPointF(-4, 0), Qt::black));
    EXPECT_TRUE(colorNear(image, at + QPointF(4, 0), Qt::black));
    // The label's grey box right above the square.
    EXPECT_TRUE(colorNear(image, at + QPointF(0, -7), style::markerBox(), 2));
    bool yellow = false;
    for (int dy = 5; dy < 20 && !yellow; ++dy)
        for (int dx = -6; dx <= 6 && !yellow; ++dx) {
            const QColor c = image.pixelColor(static_cast<int>(at.x()) + dx, static_cast<int>(at.y()) - dy);
            yellow = c.red() > 180 && c.green() > 180 && c.blue() < 100;
        }
    EXPECT_TRUE(yellow);
}

TEST(ChartPicture, ShowsTheFixedAppearance)
{
    Chart chart;
    const QImage image = chart.renderImage();
    // Vertical gradient: white at the top, the caption colour at the bottom.
    const QColor top = image.pixelColor(2, 0);
    const QColor bottom = image.pixelColor(2, 375);
    EXPECT_GE(top.red(), 250);
    EXPECT_GE(top.green(), 250);
    EXPECT_LE(std::abs(bottom.red() - style::captionGradient().red()), 2);
    EXPECT_LE(std::abs(bottom.green() - style::captionGradient().green()), 2);
    // The title box is filled with the caption colour (its corners hold no text).
    const QRect title = chart.titleRect();
    EXPECT_EQ(image.pixelColor(title.left() + 1, title.top() + 1), style::captionGradient());
    // Plot frame blue at the top edge, grid lines light yellow inside.
    const QRect plot = chart.plotRect();
    EXPECT_TRUE(colorNear(image, QPointF(plot.center().x() + 0.3, plot.top()), style::blue()));
    const double gridY = chart.mapToPixel(0, 36.5).y();
    EXPECT_TRUE(colorNear(image, QPointF(chart.mapToPixel(13.5, 0).x(), gridY), style::grid()));
    // Ticks teal, left of the plot.
    EXPECT_TRUE(colorNear(image, QPointF(plot.left() - 3, gridY), style::teal()));
}

TEST(ChartPicture, LineMarksAreClippedToThePlotArea)
{
    Chart chart;
    drawCycle(chart);
    const QImage before = chart.renderImage();
    // A reading just under the top: its mark would reach above the plot area.
    chart.lineSeries().add(10, 37.18);
    chart.lineSeries().add(11, 37.15);
    const QImage after = chart.renderImage();
    const QRect plot = chart.plotRect().adjusted(0, 0, 1, 1);
    int changedInside = 0;
    for (int y = 0; y < after.height(); ++y)
        for (int x = 0; x < after.width(); ++x)
            if (before.pixel(x, y) != after.pixel(x, y)) {
                ASSERT_TRUE(plot.contains(x, y)) << x << "," << y;
                ++changedInside;
            }
    EXPECT_GT(changedInside, 0);
}

TEST(ChartPicture, MarkersOutsideThePlotAreaLeaveNoTrace)
{
    Chart chart;
    drawCycle(chart);
    const QImage before = chart.renderImage();
    // Below the left axis' range, left of the top axis' range, beyond its end.
    chart.pointSeries().add(5, 36.1, QStringLiteral("★"));
    chart.pointSeries().add(-1, 36.4, QStringLiteral("▲"));
    chart.pointSeries().add(31, 36.4, QStringLiteral("▲"));
    EXPECT_EQ(chart.renderImage(), before);
    // Brought back into view by a wider range, they show.
    chart.leftAxis().setMinimum(36.0);
    const QImage widened = chart.renderImage();
    EXPECT_TRUE(colorNear(widened, chart.mapToPixel(5, 36.1, AxisPosition::Top), Qt::white, 0));
}

TEST(ChartPicture, PaintScalesTheScreenPictureIntoAnyRectangle)
{
    Chart chart;
    drawCycle(chart);
    chart.lineSeries().add(4, 36.5);
    chart.lineSeries().add(12, 36.5);
    struct Case {
        QRect target;
    };
    for (const Case& c : {Case{QRect(0, 0, 814, 376)}, Case{QRect(100, 50, 1628, 564)}, Case{QRect(10, 20, 407, 752)}}) {
        QImage image(c.target.right() + 20, c.target.bottom() + 20, QImage::Format_RGB32);
        image.fill(Qt::black);
        QPainter painter(&image);
        painter.setPen(Qt::green);
        painter.drawPoint(0, 0); // the painter's own state must come back unchanged
        chart.paint(painter, c.target);
        EXPECT_EQ(painter.pen().color(), QColor(Qt::green));
        painter.end();
        const double sx = c.target.width() / 814.0;
        const double sy = c.target.height() / 376.0;
        const QPointF on = chart.mapToPixel(8, 36.5);
        const QPointF scaled(c.target.x() + on.x() * sx, c.target.y() + on.y() * sy);
        EXPECT_TRUE(colorNear(image, scaled, style::red(), 2)) << c.target.width() << "x" << c.target.height();
        // Nothing is drawn outside the target.
        EXPECT_EQ(image.pixelColor(c.target.right() + 5, c.target.bottom() + 5), QColor(Qt::black));
        EXPECT_EQ(image.pixelColor(c.target.right() + 1, c.target.top()), QColor(Qt::black));
        // The top left pixel of the target is the gradient's white.
        EXPECT_GE(image.pixelColor(c.target.topLeft()).green(), 250);
    }
}

// Width of the run of title-blue text pixels inside `area`.
int blueTextWidth(const QImage& image, const QRect& area)
{
    int first = -1;
    int last = -1;
    for (int x = area.left(); x <= area.right(); ++x)
        for (int y = area.top(); y <= area.bottom(); ++y) {
            const QColor c = image.pixelColor(x, y);
            if (c.blue() > 200 && c.red() < 60 && c.green() < 60) {
                if (first < 0)
                    first = x;
                last = x;
                break;
            }
        }
    return first < 0 ? 0 : last - first + 1;
}

TEST(ChartPicture, TextScalesWithTheChartOnAHighResolutionPage)
{
    // A printer page has far more dots per inch than the screen; the chart's fonts are sized in
    // the chart's own pixels, so its text must grow with the mapping rather than with the dpi.
    Chart chart;
    const QImage screen = chart.renderImage();
    const QRect title = chart.titleRect();
    const int onScreen = blueTextWidth(screen, title);
    ASSERT_GT(onScreen, 50);

    const int factor = 5;
    QImage page(814 * factor, 376 * factor, QImage::Format_RGB32);
    page.setDotsPerMeterX(static_cast<int>(600 / 0.0254));
    page.setDotsPerMeterY(static_cast<int>(600 / 0.0254));
    QPainter painter(&page);
    chart.paint(painter, page.rect());
    painter.end();
    const QRect scaledTitle(title.topLeft() * factor, title.size() * factor);
    const int onPage = blueTextWidth(page, scaledTitle);
    EXPECT_NEAR(onPage, onScreen * factor, onScreen * factor / 10.0);
}

TEST(ChartPicture, RenderImageMatchesTheScreen)
{
    Chart chart;
    drawCycle(chart);
    chart.lineSeries().add(3, 36.6);
    chart.lineSeries().add(9, 36.9);
    chart.pointSeries().add(3, korimo::IntercourseMarkerY(36.2), QStringLiteral("★"));
    chart.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&chart));
    const QImage screen = chart.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(screen, chart.renderImage());
}

// --- Mouse ---------------------------------------------------------------------------------

struct Ranges {
    double leftMin, leftMax, bottomMin, bottomMax, topMin, topMax;
    bool operator==(const Ranges&) const = default;
};

Ranges rangesOf(const Chart& chart)
{
    return {chart.leftAxis().minimum(),   chart.leftAxis().maximum(), chart.bottomAxis().minimum(),
            chart.bottomAxis().maximum(), chart.topAxis().minimum(),  chart.topAxis().maximum()};
}

class ChartMouse : public ::testing::Test {
protected:
    void SetUp() override
    {
        drawCycle(chart);
        chart.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&chart));
    }

    QPoint inPlot(double fx, double fy) const
    {
        const QRect plot = chart.plotRect();
        return QPoint(plot.x() + static_cast<int>(fx * plot.width()), plot.y() + static_cast<int>(fy * plot.height()));
    }

    void drag(Qt::MouseButton button, QPoint from, QPoint to)
    {
        QTest::mousePress(&chart, button, Qt::NoModifier, from);
        QTest::mouseMove(&chart, (from + to) / 2);
        QTest::mouseMove(&chart, to);
        QTest::mouseRelease(&chart, button, Qt::NoModifier, to);
    }

    Chart chart;
};

TEST_F(ChartMouse, DraggingDownRightZoomsIntoTheRectangle)
{
    const QPoint from = inPlot(0.25, 0.2);
    const QPoint to = inPlot(0.75, 0.6);
    const double bottomFrom = chart.valueAt(AxisPosition::Bottom, from.x());
    const double bottomTo = chart.valueAt(AxisPosition::Bottom, to.x());
    const double leftLow = chart.valueAt(AxisPosition::Left, to.y());
    const double leftHigh = chart.valueAt(AxisPosition::Left, from.y());
    drag(Qt::LeftButton, from, to);
    EXPECT_TRUE(chart.isZoomed());
    EXPECT_DOUBLE_EQ(chart.bottomAxis().minimum(), bottomFrom);
    EXPECT_DOUBLE_EQ(chart.bottomAxis().maximum(), bottomTo);
    EXPECT_DOUBLE_EQ(chart.topAxis().minimum(), bottomFrom); // same range, so same zoom
    EXPECT_DOUBLE_EQ(chart.leftAxis().minimum(), leftLow);
    EXPECT_DOUBLE_EQ(chart.leftAxis().maximum(), leftHigh);
}

TEST_F(ChartMouse, DraggingUpLeftUndoesTheZoom)
{
    const Ranges original = rangesOf(chart);
    drag(Qt::LeftButton, inPlot(0.2, 0.2), inPlot(0.6, 0.6));
    drag(Qt::LeftButton, inPlot(0.1, 0.1), inPlot(0.5, 0.5)); // a zoom inside the zoom
    ASSERT_NE(rangesOf(chart), original);
    drag(Qt::LeftButton, inPlot(0.7, 0.7), inPlot(0.3, 0.3));
    EXPECT_FALSE(chart.isZoomed());
    EXPECT_EQ(rangesOf(chart), original);
    // Undoing again changes nothing.
    drag(Qt::LeftButton, inPlot(0.7, 0.7), inPlot(0.3, 0.3));
    EXPECT_EQ(rangesOf(chart), original);
}

TEST_F(ChartMouse, ShortDragsAndClicksChangeNothing)
{
    const Ranges original = rangesOf(chart);
    struct Case {
        QPoint from, to;
    };
    for (const Case& c : {Case{inPlot(0.5, 0.5), inPlot(0.5, 0.5)},
                          Case{inPlot(0.5, 0.5), inPlot(0.5, 0.5) + QPoint(40, 5)},
                          Case{inPlot(0.5, 0.5), inPlot(0.5, 0.5) + QPoint(5, 40)},
                          Case{inPlot(0.5, 0.5), inPlot(0.5, 0.5) - QPoint(5, 5)},
                          Case{QPoint(3, 3), QPoint(300, 200)}}) { // starts outside the plot area
        drag(Qt::LeftButton, c.from, c.to);
        EXPECT_EQ(rangesOf(chart), original);
        EXPECT_FALSE(chart.isZoomed());
    }
}

TEST_F(ChartMouse, RightDragScrollsEveryAxis)
{
    const Ranges before = rangesOf(chart);
    const QRect plot = chart.plotRect();
    const QPoint from = inPlot(0.5, 0.5);
    const QPoint delta(50, -30);
    QTest::mousePress(&chart, Qt::RightButton, Qt::NoModifier, from);
    QTest::mouseMove(&chart, from + delta);
    QTest::mouseRelease(&chart, Qt::RightButton, Qt::NoModifier, from + delta);
    const Ranges after = rangesOf(chart);
    // Dragging right shows earlier days; dragging up shows lower temperatures.
    const double dayShift = -50.0 * 29 / plot.width();
    const double degreeShift = -30.0 * 1.0 / plot.height();
    EXPECT_NEAR(after.bottomMin, before.bottomMin + dayShift, 1e-9);
    EXPECT_NEAR(after.bottomMax, before.bottomMax + dayShift, 1e-9);
    EXPECT_NEAR(after.topMin, before.topMin + dayShift, 1e-9);
    EXPECT_NEAR(after.leftMin, before.leftMin + degreeShift, 1e-9);
    EXPECT_NEAR(after.leftMax, before.leftMax + degreeShift, 1e-9);
    EXPECT_FALSE(chart.isZoomed());
}

TEST_F(ChartMouse, TheDrawCommandKeepsTheMinimumAZoomLeft)
{
    drag(Qt::LeftButton, inPlot(0.3, 0.1), inPlot(0.9, 0.9));
    const double zoomedMinimum = chart.bottomAxis().minimum();
    ASSERT_GT(zoomedMinimum, 0);
    // What the draw command sets: the day axes' maxima and the left axis.
    chart.bottomAxis().setMaximum(31);
    chart.topAxis().setMaximum(31);
    chart.leftAxis().setMinMax(36.2, 37.5);
    EXPECT_EQ(chart.bottomAxis().minimum(), zoomedMinimum);
    EXPECT_EQ(chart.bottomAxis().maximum(), 31);
}

} // namespace
