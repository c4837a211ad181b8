#include "chart/curve.h"

#include "chart/chart.h"
#include "chart/vertical_range.h"
#include "data/query.h"

#include <QApplication>
#include <QCursor>

#include <algorithm>

namespace korimo {
namespace {

const QString kMenstruationMarker = QStringLiteral("▲");
const QString kIntercourseMarker = QStringLiteral("★");
const QString kYes = QStringLiteral("√");

// The hourglass while the line is read from the database, whatever ends the read.
class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

// Refills the line from the readings query, one point per row in row order, and puts the query
// back on the row it stood on.
void reloadLine(ChartSeries& line, Query& readings)
{
    BusyCursor busy;
    line.clear();
    const int before = readings.currentIndex();
    const int count = readings.recordCount();
    if (count > 0) {
        readings.first();
        for (int i = 0; i < count; ++i) {
            line.add(readings.fieldByName(QStringLiteral("序号")).asFloat(),
                     readings.fieldByName(QStringLiteral("体温")).asFloat());
            readings.next();
        }
        readings.moveTo(before);
    }
}

} // namespace

void drawCurve(Query& cycles, Query& records, Query& readings, Query& scratch, Chart& chart)
{
    if (cycles.fieldByName(QStringLiteral("编号")).asInteger() == 0)
        return;
    const QString id = cycles.fieldByName(QStringLiteral("编号")).asText();

    scratch.close();
    scratch.setSql(QStringLiteral("select Max(体温) as MaxT,Min(体温) as MinT from Heat where 编号=")
                   + id + QStringLiteral(" and 体温>0"));
    scratch.open();
    const double maxT = scratch.fieldByName(QStringLiteral("MaxT")).asFloat();
    const double minT = scratch.fieldByName(QStringLiteral("MinT")).asFloat();

    const double lower = LowerBound(minT);
    const double upper = UpperBound(maxT);

    records.close();
    records.setSql(QStringLiteral("select * from Heat where 编号=") + id + QStringLiteral(" order by 序号"));
    records.open();

    readings.close();
    readings.setSql(QStringLiteral("select * from Heat where 编号=") + id
                    + QStringLiteral(" and 体温>0 order by 序号"));
    readings.open();

    // Days 1 to n stand clear of both edges. A length below 1 (only a damaged file holds one)
    // still shows days 0 to 1 instead of a reversed axis.
    const qint64 days = cycles.fieldByName(QStringLiteral("天数")).asInteger();
    const double right = static_cast<double>(std::max<qint64>(days + 1, 1));
    chart.bottomAxis().setMaximum(right);
    chart.topAxis().setMaximum(right);

    if (upper > lower)
        chart.leftAxis().setMinMax(lower, upper);

    ChartSeries& markers = chart.pointSeries();
    markers.clear();
    const int n = records.recordCount();
    records.first();
    for (int i = 0; i < n; ++i) {
        const double day = static_cast<double>(records.fieldByName(QStringLiteral("序号")).asInteger());
        if (records.fieldByName(QStringLiteral("月经")).asText() == kYes)
            markers.add(day, MenstruationMarkerY(lower), kMenstruationMarker);
        if (records.fieldByName(QStringLiteral("同房")).asText() == kYes)
            markers.add(day, IntercourseMarkerY(lower), kIntercourseMarker);
        records.next();
    }

    reloadLine(chart.lineSeries(), readings);
    readings.first();
}

void clearCurve(Chart& chart)
{
    chart.lineSeries().clear();
    chart.pointSeries().clear();
}

} // namespace korimo
