#include "chart/chart.h"

#include "chart/axis_labels.h"
#include "chart/chart_style.h"
#include "chart/round.h"

#include <QFontMetrics>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace korimo {

namespace st = chart::style;

// ---------------------------------------------------------------------------------------------
// ChartAxis

ChartAxis::ChartAxis(Chart* owner, AxisPosition position, double minimum, double maximum,
                     double increment, bool visible)
    : owner_(owner), position_(position), minimum_(minimum), maximum_(maximum),
      increment_(increment), visible_(visible)
{
}

void ChartAxis::setMinMax(double minimum, double maximum)
{
    minimum_ = minimum;
    maximum_ = maximum;
    owner_->changed();
}

void ChartAxis::setMinimum(double minimum)
{
    minimum_ = minimum;
    owner_->changed();
}

void ChartAxis::setMaximum(double maximum)
{
    maximum_ = maximum;
    owner_->changed();
}

void ChartAxis::setIncrement(double increment)
{
    increment_ = increment;
    owner_->changed();
}

void ChartAxis::setVisible(bool visible)
{
    visible_ = visible;
    owner_->changed();
}

// ---------------------------------------------------------------------------------------------
// ChartSeries

ChartSeries::ChartSeries(Chart* owner, Kind kind, const QColor& color, AxisPosition horizontalAxis)
    : owner_(owner), kind_(kind), color_(color), horizontal_axis_(horizontalAxis)
{
}

void ChartSeries::setColor(const QColor& color)
{
    color_ = color;
    owner_->changed();
}

void ChartSeries::setHorizontalAxis(AxisPosition axis)
{
    horizontal_axis_ = axis == AxisPosition::Top ? AxisPosition::Top : AxisPosition::Bottom;
    owner_->changed();
}

int ChartSeries::add(double x, double y, const QString& label, const QColor& color)
{
    // After every point with the same X: equal days keep the order they were added in.
    const auto at = std::upper_bound(points_.begin(), points_.end(), x,
                                     [](double value, const ChartPoint& p) { return value < p.x; });
    const auto inserted = points_.insert(at, ChartPoint{x, y, label, color.isValid() ? color : color_});
    owner_->changed();
    return static_cast<int>(inserted - points_.begin());
}

void ChartSeries::clear()
{
    points_.clear();
    owner_->changed();
}

const ChartPoint& ChartSeries::point(int index) const
{
    if (index < 0 || index >= count())
        throw std::out_of_range("chart point index " + std::to_string(index) + " out of range");
    return points_[static_cast<std::size_t>(index)];
}

// ---------------------------------------------------------------------------------------------
// Layout

struct Chart::Layout {
    QSize size;
    QRect title;
    QRect foot;
    QRect plot;
    int axisLabelHeight = 0;
    int leftLabelWidth = 0;
    double steps[4] = {};
    std::vector<double> leftLabels;
    std::vector<double> bottomLabels;

    double step(AxisPosition axis) const { return steps[static_cast<int>(axis)]; }
};

namespace {

constexpr int kGap = 2;        // between a label and its tick, and around the boxes
constexpr int kTitleGap = 6;   // between the title box and the plot area
constexpr int kFootGap = 4;    // between the bottom labels and the foot

int percentOf(int size, int percent)
{
    return static_cast<int>(chart::roundHalfEven(static_cast<long double>(size) * percent / 100));
}

// Position along an axis of `length` pixels starting at `origin`, growing in `direction`.
double mapValue(double value, double minimum, double maximum, double origin, double length, int direction)
{
    const double range = maximum - minimum;
    if (range == 0 || !std::isfinite(range))
        return origin;
    return origin + direction * (value - minimum) / range * length;
}

int widestLabel(const QFontMetrics& metrics, const std::vector<double>& values)
{
    int widest = 0;
    for (double v : values)
        widest = std::max(widest, metrics.horizontalAdvance(chart::formatNumber(v)));
    return widest;
}

} // namespace

Chart::Layout Chart::layout() const
{
    Layout l;
    const int w = width();
    const int h = height();
    l.size = QSize(w, h);

    const int marginLeft = percentOf(w, 3);
    const int marginRight = percentOf(w, 3);
    const int marginTop = percentOf(h, 4);
    const int marginBottom = percentOf(h, 3);

    const QFontMetrics titleMetrics(st::titleFont());
    const int titleWidth = titleMetrics.horizontalAdvance(st::title()) + titleMetrics.horizontalAdvance(QLatin1Char('W'));
    const int titleHeight = titleMetrics.height() + kGap;
    l.title = QRect((w - titleWidth) / 2, marginTop, titleWidth, titleHeight);

    const QFontMetrics footMetrics(st::footFont());
    const int footHeight = footMetrics.height();
    l.foot = QRect(marginLeft, h - marginBottom - footHeight, w - marginLeft - marginRight, footHeight);

    const QFontMetrics axisMetrics(st::axisFont());
    l.axisLabelHeight = axisMetrics.height();

    // Vertical extent first: the left axis' labels depend only on the plot height, and their width
    // then decides where the plot starts horizontally.
    const int plotTop = l.title.y() + l.title.height() + kTitleGap + l.axisLabelHeight / 2;
    const int plotBottom = l.foot.y() - kFootGap - l.axisLabelHeight - kGap - st::kOuterTick;
    const int plotHeight = std::max(0, plotBottom - plotTop);

    const ChartAxis& leftAxis = *left_;
    const int leftFit = chart::labelsThatFit(plotHeight, l.axisLabelHeight,
                                             chart::labelSeparation(l.axisLabelHeight, 1));
    l.steps[static_cast<int>(AxisPosition::Left)] =
        chart::labelStep(leftAxis.minimum(), leftAxis.maximum(), leftAxis.increment(), leftFit);
    if (leftAxis.isVisible())
        l.leftLabels = chart::labelValues(leftAxis.minimum(), leftAxis.maximum(), l.step(AxisPosition::Left));
    l.leftLabelWidth = widestLabel(axisMetrics, l.leftLabels);

    // The bottom labels are as wide as the wider of the two ends' labels; half of one may stand
    // beyond the plot's right edge.
    const ChartAxis& bottomAxis = *bottom_;
    const int bottomLabelWidth = widestLabel(axisMetrics, {bottomAxis.minimum(), bottomAxis.maximum()});
    const int plotLeft = marginLeft + l.leftLabelWidth + kGap + st::kOuterTick;
    const int plotRight = w - marginRight - bottomLabelWidth / 2;
    const int plotWidth = std::max(0, plotRight - plotLeft);
    l.plot = QRect(plotLeft, plotTop, plotWidth, plotHeight);

    const int bottomFit = chart::labelsThatFit(plotWidth, bottomLabelWidth,
                                               chart::labelSeparation(bottomLabelWidth, 10));
    l.steps[static_cast<int>(AxisPosition::Bottom)] =
        chart::labelStep(bottomAxis.minimum(), bottomAxis.maximum(), bottomAxis.increment(), bottomFit);
    if (bottomAxis.isVisible())
        l.bottomLabels = chart::labelValues(bottomAxis.minimum(), bottomAxis.maximum(), l.step(AxisPosition::Bottom));

    // The top and right axes show no labels; their step is the configured one grown the same way.
    const int topWidth = widestLabel(axisMetrics, {top_->minimum(), top_->maximum()});
    l.steps[static_cast<int>(AxisPosition::Top)] = chart::labelStep(
        top_->minimum(), top_->maximum(), top_->increment(),
        chart::labelsThatFit(plotWidth, topWidth, chart::labelSeparation(topWidth, 10)));
    l.steps[static_cast<int>(AxisPosition::Right)] =
        chart::labelStep(right_->minimum(), right_->maximum(), right_->increment(), leftFit);
    return l;
}

// ---------------------------------------------------------------------------------------------
// Chart

Chart::Chart(QWidget* parent)
    : QWidget(parent),
      left_(new ChartAxis(this, AxisPosition::Left, 36.0, 37.2, 0.1, true)),
      bottom_(new ChartAxis(this, AxisPosition::Bottom, 0, 28, 1, true)),
      top_(new ChartAxis(this, AxisPosition::Top, 0, 28, 1, false)),
      right_(new ChartAxis(this, AxisPosition::Right, 0, 100, 10, false)),
      line_(new ChartSeries(this, ChartSeries::Kind::Line, st::red(), AxisPosition::Bottom)),
      points_(new ChartSeries(this, ChartSeries::Kind::Points, QColor(Qt::white), AxisPosition::Top))
{
    resize(kDefaultWidth, kDefaultHeight);
    // paint() covers every pixel, so Qt need not clear the background first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

Chart::~Chart() = default;

ChartAxis& Chart::axis(AxisPosition position)
{
    switch (position) {
    case AxisPosition::Left: return *left_;
    case AxisPosition::Bottom: return *bottom_;
    case AxisPosition::Top: return *top_;
    case AxisPosition::Right: return *right_;
    }
    return *left_;
}

const ChartAxis& Chart::axis(AxisPosition position) const
{
    return const_cast<Chart*>(this)->axis(position);
}

void Chart::changed()
{
    update();
}

QSize Chart::sizeHint() const
{
    return QSize(kDefaultWidth, kDefaultHeight);
}

QRect Chart::plotRect() const
{
    return layout().plot;
}

QRect Chart::titleRect() const
{
    return layout().title;
}

QRect Chart::footRect() const
{
    return layout().foot;
}

double Chart::labelStep(AxisPosition axis) const
{
    return layout().step(axis);
}

std::vector<double> Chart::labelValues(AxisPosition axis) const
{
    const Layout l = layout();
    if (axis == AxisPosition::Left)
        return l.leftLabels;
    if (axis == AxisPosition::Bottom)
        return l.bottomLabels;
    return {};
}

namespace {

QPointF mapWith(const QRect& plot, const ChartAxis& horizontal, const ChartAxis& vertical, double x, double y)
{
    return QPointF(mapValue(x, horizontal.minimum(), horizontal.maximum(), plot.x(), plot.width(), 1),
                   mapValue(y, vertical.minimum(), vertical.maximum(), plot.y() + plot.height(), plot.height(), -1));
}

} // namespace

QPointF Chart::mapToPixel(double x, double y, AxisPosition horizontalAxis) const
{
    const ChartAxis& horizontal = horizontalAxis == AxisPosition::Top ? *top_ : *bottom_;
    return mapWith(plotRect(), horizontal, *left_, x, y);
}

double Chart::valueAt(AxisPosition position, double pixel) const
{
    const QRect plot = plotRect();
    const ChartAxis& a = axis(position);
    const double range = a.maximum() - a.minimum();
    if (a.isHorizontal())
        return plot.width() == 0 ? a.minimum() : a.minimum() + (pixel - plot.x()) / plot.width() * range;
    return plot.height() == 0 ? a.minimum()
                              : a.minimum() + (plot.y() + plot.height() - pixel) / plot.height() * range;
}

// ---------------------------------------------------------------------------------------------
// Drawing

void Chart::paint(QPainter& painter, const QRect& target) const
{
    const int w = width();
    const int h = height();
    if (w <= 0 || h <= 0 || target.isEmpty())
        return;
    const Layout l = layout();

    painter.save();
    painter.translate(target.topLeft());
    painter.scale(static_cast<double>(target.width()) / w, static_cast<double>(target.height()) / h);
    painter.setClipRect(QRect(0, 0, w, h), Qt::IntersectClip);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, true);

    // Background.
    QLinearGradient gradient(0, 0, 0, h);
    gradient.setColorAt(0, Qt::white);
    gradient.setColorAt(1, st::captionGradient());
    painter.fillRect(QRect(0, 0, w, h), gradient);

    // Title on its box, foot key below everything.
    painter.fillRect(l.title, st::captionGradient());
    painter.setPen(st::blue());
    painter.setFont(st::titleFont());
    painter.drawText(l.title, Qt::AlignCenter, st::title());
    painter.setFont(st::footFont());
    painter.drawText(l.foot, Qt::AlignCenter, st::foot());

    const QRect& plot = l.plot;
    const double plotLeft = plot.x();
    const double plotRight = plot.x() + plot.width();
    const double plotTop = plot.y();
    const double plotBottom = plot.y() + plot.height();
    const ChartAxis& leftAxis = *left_;
    const ChartAxis& bottomAxis = *bottom_;
    const auto yOf = [&](double v) {
        return mapValue(v, leftAxis.minimum(), leftAxis.maximum(), plotBottom, plot.height(), -1);
    };
    const auto xOf = [&](double v) {
        return mapValue(v, bottomAxis.minimum(), bottomAxis.maximum(), plotLeft, plot.width(), 1);
    };

    // Grid lines at every label.
    painter.setPen(QPen(st::grid(), st::kGridWidth, Qt::SolidLine, Qt::FlatCap));
    for (double v : l.leftLabels)
        painter.drawLine(QPointF(plotLeft, yOf(v)), QPointF(plotRight, yOf(v)));
    for (double v : l.bottomLabels)
        painter.drawLine(QPointF(xOf(v), plotTop), QPointF(xOf(v), plotBottom));

    // The plot area is not filled: the gradient shows through.
    painter.setPen(QPen(st::blue(), st::kPlotFrameWidth, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(plotLeft, plotTop, plot.width(), plot.height()));

    painter.setPen(QPen(st::green(), st::kAxisLineWidth));
    if (leftAxis.isVisible())
        painter.drawLine(QPointF(plotLeft, plotTop), QPointF(plotLeft, plotBottom));
    if (bottomAxis.isVisible())
        painter.drawLine(QPointF(plotLeft, plotBottom), QPointF(plotRight, plotBottom));

    painter.setPen(QPen(st::teal(), st::kTickWidth, Qt::SolidLine, Qt::FlatCap));
    for (double v : l.leftLabels)
        painter.drawLine(QPointF(plotLeft - st::kOuterTick, yOf(v)), QPointF(plotLeft + st::kInnerTick, yOf(v)));
    for (double v : l.bottomLabels)
        painter.drawLine(QPointF(xOf(v), plotBottom + st::kOuterTick), QPointF(xOf(v), plotBottom - st::kInnerTick));

    painter.setPen(st::blue());
    painter.setFont(st::axisFont());
    const double leftLabelX = plotLeft - st::kOuterTick - kGap - l.leftLabelWidth;
    for (double v : l.leftLabels) {
        const QRectF box(leftLabelX, yOf(v) - l.axisLabelHeight / 2.0, l.leftLabelWidth, l.axisLabelHeight);
        painter.drawText(box, Qt::AlignRight | Qt::AlignVCenter, chart::formatNumber(v));
    }
    const QFontMetrics axisMetrics(st::axisFont());
    const double bottomLabelY = plotBottom + st::kOuterTick + kGap;
    for (double v : l.bottomLabels) {
        const QString text = chart::formatNumber(v);
        const double textWidth = axisMetrics.horizontalAdvance(text);
        painter.drawText(QRectF(xOf(v) - textWidth / 2, bottomLabelY, textWidth, l.axisLabelHeight),
                         Qt::AlignCenter, text);
    }

    const QRectF plotArea(plotLeft, plotTop, plot.width(), plot.height());
    const auto pixelOf = [&](const ChartSeries& s, const ChartPoint& p) {
        return mapWith(plot, s.horizontalAxis() == AxisPosition::Top ? *top_ : *bottom_, leftAxis, p.x, p.y);
    };

    // The temperature line, then the value mark of every reading (clipped to the plot area).
    {
        const ChartSeries& s = *line_;
        painter.save();
        painter.setClipRect(plotArea, Qt::IntersectClip);
        if (s.count() > 1) {
            std::vector<QPointF> line;
            line.reserve(s.points_.size());
            for (const ChartPoint& p : s.points_)
                line.push_back(pixelOf(s, p));
            painter.setPen(QPen(s.color(), st::kLineWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            painter.drawPolyline(line.data(), static_cast<int>(line.size()));
        }
        painter.setFont(st::lineMarkFont());
        const QFontMetrics markMetrics(st::lineMarkFont());
        const QPen connectorPen(st::connector(), st::kConnectorWidth, Qt::SolidLine, Qt::FlatCap);
        const QPen framePen(st::markFrame(), 1, Qt::DashDotLine);
        for (const ChartPoint& p : s.points_) {
            const QPointF at = pixelOf(s, p);
            const QString text = chart::formatNumber(p.y);
            const double boxWidth = markMetrics.horizontalAdvance(text) + 2 * kGap;
            const double boxHeight = markMetrics.height();
            const double boxBottom = at.y() - st::kConnectorLength;
            const QRectF box(at.x() - boxWidth / 2, boxBottom - boxHeight, boxWidth, boxHeight);
            painter.setPen(connectorPen);
            painter.drawLine(at, QPointF(at.x(), boxBottom));
            painter.setPen(framePen);
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(box);
            painter.setPen(st::blue());
            painter.drawText(box, Qt::AlignCenter, text);
        }
        painter.restore();
    }

    // The day markers: squares inside the plot area, their label boxes right above them.
    {
        const ChartSeries& s = *points_;
        painter.save();
        painter.setClipRect(plotArea, Qt::IntersectClip);
        painter.setPen(QPen(Qt::black, 1));
        const int side = 2 * st::kPointHalfSize;
        for (const ChartPoint& p : s.points_) {
            const QPointF at = pixelOf(s, p);
            painter.setBrush(p.color);
            painter.drawRect(QRectF(at.x() - st::kPointHalfSize, at.y() - st::kPointHalfSize, side, side));
        }
        painter.restore();

        painter.setFont(st::pointMarkFont());
        const QFontMetrics markMetrics(st::pointMarkFont());
        const QRectF visibleArea = plotArea.adjusted(-1, -1, 1, 1);
        for (const ChartPoint& p : s.points_) {
            const QPointF at = pixelOf(s, p);
            // A marker scrolled or zoomed out of the plot area takes its label with it.
            if (p.label.isEmpty() || !visibleArea.contains(at))
                continue;
            const double boxWidth = markMetrics.horizontalAdvance(p.label) + 2 * kGap;
            const double boxHeight = markMetrics.height();
            const QRectF box(at.x() - boxWidth / 2, at.y() - st::kPointHalfSize - boxHeight, boxWidth, boxHeight);
            painter.fillRect(box, st::markerBox());
            painter.setPen(st::yellow());
            painter.drawText(box, Qt::AlignCenter, p.label);
        }
    }

    painter.restore();
}

QImage Chart::renderImage() const
{
    QImage image(size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    paint(painter, image.rect());
    painter.end();
    return image;
}

void Chart::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paint(painter, rect());
    if (drag_ == Drag::Zoom) {
        // The rubber band only exists on the screen, never in a picture or a printout.
        painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRect(drag_start_, drag_last_).normalized());
    }
}

// ---------------------------------------------------------------------------------------------
// Zoom and scroll

void Chart::zoomToRect(const QRect& pixels)
{
    const QRect plot = plotRect();
    const QRect area = pixels.normalized().intersected(plot.adjusted(0, 0, 1, 1));
    if (area.width() <= 0 || area.height() <= 0)
        return;
    // Map all four edges before touching any axis: changing a range moves the plot area.
    const double x0 = area.x();
    const double x1 = area.x() + area.width();
    const double y0 = area.y() + area.height();
    const double y1 = area.y();
    SavedRange next[4];
    for (AxisPosition p : {AxisPosition::Left, AxisPosition::Bottom, AxisPosition::Top, AxisPosition::Right}) {
        const bool horizontal = axis(p).isHorizontal();
        next[static_cast<int>(p)] = {valueAt(p, horizontal ? x0 : y0), valueAt(p, horizontal ? x1 : y1)};
    }
    for (AxisPosition p : {AxisPosition::Left, AxisPosition::Bottom, AxisPosition::Top, AxisPosition::Right}) {
        ChartAxis& a = axis(p);
        if (!zoomed_)
            before_zoom_[static_cast<int>(p)] = {a.minimum(), a.maximum()};
        a.minimum_ = next[static_cast<int>(p)].minimum;
        a.maximum_ = next[static_cast<int>(p)].maximum;
    }
    zoomed_ = true;
    changed();
}

void Chart::undoZoom()
{
    if (!zoomed_)
        return;
    for (AxisPosition p : {AxisPosition::Left, AxisPosition::Bottom, AxisPosition::Top, AxisPosition::Right}) {
        ChartAxis& a = axis(p);
        a.minimum_ = before_zoom_[static_cast<int>(p)].minimum;
        a.maximum_ = before_zoom_[static_cast<int>(p)].maximum;
    }
    zoomed_ = false;
    changed();
}

void Chart::scrollByPixels(QPoint delta)
{
    const QRect plot = plotRect();
    if (delta.isNull())
        return;
    for (AxisPosition p : {AxisPosition::Left, AxisPosition::Bottom, AxisPosition::Top, AxisPosition::Right}) {
        ChartAxis& a = axis(p);
        const double range = a.maximum() - a.minimum();
        double shift = 0;
        // Dragging to the right brings smaller X values into view; dragging down, larger Y values.
        if (a.isHorizontal() && plot.width() > 0)
            shift = -delta.x() * range / plot.width();
        else if (!a.isHorizontal() && plot.height() > 0)
            shift = delta.y() * range / plot.height();
        a.minimum_ += shift;
        a.maximum_ += shift;
    }
    changed();
}

void Chart::mousePressEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::LeftButton && plotRect().contains(at)) {
        drag_ = Drag::Zoom;
    } else if (event->button() == Qt::RightButton) {
        drag_ = Drag::Scroll;
    } else {
        QWidget::mousePressEvent(event);
        return;
    }
    drag_start_ = at;
    drag_last_ = at;
    event->accept();
}

void Chart::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    if (drag_ == Drag::Zoom) {
        drag_last_ = at;
        update();
    } else if (drag_ == Drag::Scroll) {
        scrollByPixels(at - drag_last_);
        drag_last_ = at;
    } else {
        QWidget::mouseMoveEvent(event);
    }
}

void Chart::mouseReleaseEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    if (drag_ == Drag::Zoom && event->button() == Qt::LeftButton) {
        drag_ = Drag::None;
        const QPoint moved = at - drag_start_;
        if (moved.x() >= kMinimumDragPixels && moved.y() >= kMinimumDragPixels)
            zoomToRect(QRect(drag_start_, QSize(moved.x(), moved.y())));
        else if (moved.x() <= -kMinimumDragPixels || moved.y() <= -kMinimumDragPixels)
            undoZoom();
        update();
    } else if (drag_ == Drag::Scroll && event->button() == Qt::RightButton) {
        drag_ = Drag::None;
        scrollByPixels(at - drag_last_);
    } else {
        QWidget::mouseReleaseEvent(event);
    }
}

} // namespace korimo
