#pragma once

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QString>
#include <QWidget>

#include <memory>
#include <vector>

class QPainter;

namespace korimo {

class Chart;

enum class AxisPosition { Left, Bottom, Top, Right };

// One axis of the chart. Its range is whatever the caller (or the user's zoom and scroll) set; the
// chart never fits it to the data. The increment is the configured label step, which the chart
// only grows when the labels would not fit.
class ChartAxis {
public:
    ChartAxis(const ChartAxis&) = delete;
    ChartAxis& operator=(const ChartAxis&) = delete;

    AxisPosition position() const { return position_; }
    bool isHorizontal() const { return position_ == AxisPosition::Bottom || position_ == AxisPosition::Top; }

    double minimum() const { return minimum_; }
    double maximum() const { return maximum_; }
    double increment() const { return increment_; }
    bool isVisible() const { return visible_; }

    void setMinMax(double minimum, double maximum);
    void setMinimum(double minimum);
    void setMaximum(double maximum);
    void setIncrement(double increment);
    void setVisible(bool visible);

private:
    friend class Chart;
    ChartAxis(Chart* owner, AxisPosition position, double minimum, double maximum, double increment, bool visible);

    Chart* owner_;
    AxisPosition position_;
    double minimum_;
    double maximum_;
    double increment_;
    bool visible_;
};

struct ChartPoint {
    double x = 0;
    double y = 0;
    QString label;
    QColor color;
};

// A series of points kept in ascending X order; a point whose X equals existing ones goes after
// them, so points added in order keep that order.
class ChartSeries {
public:
    enum class Kind {
        Line,  // a line through the points; each point shows its Y value as a mark
        Points // separate squares; each point shows its label as a mark
    };

    ChartSeries(const ChartSeries&) = delete;
    ChartSeries& operator=(const ChartSeries&) = delete;

    Kind kind() const { return kind_; }
    QColor color() const { return color_; }
    void setColor(const QColor& color);
    // The axis that carries the X values: bottom or top. Y always runs on the left axis.
    AxisPosition horizontalAxis() const { return horizontal_axis_; }
    void setHorizontalAxis(AxisPosition axis);

    // Adds a point and returns its index. An invalid colour (the default) means the series colour.
    int add(double x, double y, const QString& label = QString(), const QColor& color = QColor());
    void clear();
    int count() const { return static_cast<int>(points_.size()); }
    // Throws std::out_of_range for an index outside 0 .. count() - 1.
    const ChartPoint& point(int index) const;

private:
    friend class Chart;
    ChartSeries(Chart* owner, Kind kind, const QColor& color, AxisPosition horizontalAxis);

    Chart* owner_;
    Kind kind_;
    QColor color_;
    AxisPosition horizontal_axis_;
    std::vector<ChartPoint> points_;
};

// The temperature chart: a line series of readings and a point series of day markers on fixed
// axes, with the fixed look of the program (gradient background, title, foot key, grid, marks).
// Everything it shows is drawn by paint(), so the screen, a picture and a printed page are the
// same drawing at different scales.
// Mouse: left-drag a rectangle down and right to zoom into it, left-drag up or left to undo the
// zoom, right-drag to scroll. Zoom and scroll change the axis ranges.
class Chart : public QWidget {
    Q_OBJECT

public:
    // The size the main window gives the chart; the print layout is worked out from it.
    static constexpr int kDefaultWidth = 814;
    static constexpr int kDefaultHeight = 376;
    // A zoom rectangle must be at least this many pixels each way; shorter drags are ignored.
    static constexpr int kMinimumDragPixels = 16;

    explicit Chart(QWidget* parent = nullptr);
    ~Chart() override;

    ChartAxis& leftAxis() { return *left_; }
    ChartAxis& bottomAxis() { return *bottom_; }
    ChartAxis& topAxis() { return *top_; }
    ChartAxis& rightAxis() { return *right_; }
    const ChartAxis& leftAxis() const { return *left_; }
    const ChartAxis& bottomAxis() const { return *bottom_; }
    const ChartAxis& topAxis() const { return *top_; }
    const ChartAxis& rightAxis() const { return *right_; }
    ChartAxis& axis(AxisPosition position);
    const ChartAxis& axis(AxisPosition position) const;

    // The temperature line (red, X on the bottom axis) and the day markers (white squares, X on
    // the top axis).
    ChartSeries& lineSeries() { return *line_; }
    ChartSeries& pointSeries() { return *points_; }
    const ChartSeries& lineSeries() const { return *line_; }
    const ChartSeries& pointSeries() const { return *points_; }

    // Draws the whole chart as the screen shows it, scaled so that the widget's size fills
    // `target` (horizontal and vertical scale set independently). The painter's state is kept.
    void paint(QPainter& painter, const QRect& target) const;
    // The chart drawn into an RGB32 image of the widget's size.
    QImage renderImage() const;

    // Geometry at the widget's current size, in widget pixels.
    // The plot area: the axes run along its edges; an axis' minimum maps to its left (or bottom)
    // edge and its maximum to left + width (or top).
    QRect plotRect() const;
    QRect titleRect() const;
    QRect footRect() const;
    // Where the point (x, y) is drawn, with X on the given horizontal axis and Y on the left axis.
    QPointF mapToPixel(double x, double y, AxisPosition horizontalAxis = AxisPosition::Bottom) const;
    // The axis value at a pixel coordinate along the axis.
    double valueAt(AxisPosition axis, double pixel) const;
    // The label step an axis shows at the current size and range, and its label values.
    double labelStep(AxisPosition axis) const;
    std::vector<double> labelValues(AxisPosition axis) const;

    // Zooming sets every axis to the part of its range that the rectangle (widget pixels, clipped
    // to the plot area) covers; its edges run from x to x + width and y to y + height, the way
    // mapToPixel() places an axis' ends. The ranges before the first zoom are kept until undoZoom().
    void zoomToRect(const QRect& pixels);
    void undoZoom();
    bool isZoomed() const { return zoomed_; }
    // Moves the picture by `delta` pixels: every axis range shifts by the values it spans.
    void scrollByPixels(QPoint delta);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    friend class ChartAxis;
    friend class ChartSeries;
    struct Layout;
    struct SavedRange {
        double minimum;
        double maximum;
    };
    enum class Drag { None, Zoom, Scroll };

    Layout layout() const;
    void changed();

    std::unique_ptr<ChartAxis> left_;
    std::unique_ptr<ChartAxis> bottom_;
    std::unique_ptr<ChartAxis> top_;
    std::unique_ptr<ChartAxis> right_;
    std::unique_ptr<ChartSeries> line_;
    std::unique_ptr<ChartSeries> points_;

    bool zoomed_ = false;
    SavedRange before_zoom_[4] = {};
    Drag drag_ = Drag::None;
    QPoint drag_start_;
    QPoint drag_last_;
};

} // namespace korimo
