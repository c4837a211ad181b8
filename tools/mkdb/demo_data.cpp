#include "demo_data.h"

#include "data/connection.h"
#include "data/connection_string.h"
#include "data/query.h"
#include "data/values.h"

#include <QDate>

#include <array>
#include <cstdint>

namespace korimo::tools {
namespace {

struct DemoCycle {
    QDate start;
    int days;
    int ovulationDay;      // last day of the low phase
    const char* note;
    std::array<int, 3> intercourseDays;
    std::array<int, 3> missingDays; // mornings without a reading
    int menstruationDays;
};

// A small deterministic generator: the sample data must be the same on every build.
class Jitter {
public:
    explicit Jitter(std::uint32_t seed) : state_(seed) {}
    // A whole number of hundredths of a degree in [-span, span].
    int next(int span)
    {
        state_ = state_ * 1664525u + 1013904223u;
        return static_cast<int>((state_ >> 16) % static_cast<std::uint32_t>(2 * span + 1)) - span;
    }

private:
    std::uint32_t state_;
};

const DemoCycle kCycles[] = {
    {QDate(2010, 1, 4), 28, 14, "2010年1月 周期", {10, 13, 20}, {7, 22, 0}, 5},
    {QDate(2010, 2, 1), 30, 16, "2010年2月 周期", {12, 15, 17}, {9, 25, 0}, 5},
    {QDate(2010, 3, 3), 27, 13, "2010年3月 周期（感冒两天）", {11, 14, 0}, {4, 19, 23}, 4},
    {QDate(2010, 3, 30), 31, 17, "2010年4月 周期", {13, 16, 18}, {6, 27, 0}, 6},
};

const char* remarkFor(int cycle, int day)
{
    if (cycle == 2 && (day == 5 || day == 6))
        return "感冒，体温偏高";
    if (day == 1)
        return "月经第一天";
    if (cycle == 0 && day == 14)
        return "白带增多，拉丝";
    if (cycle == 1 && day == 22)
        return "睡眠不足";
    if (cycle == 3 && day == 10)
        return "出差，测量时间推迟";
    return nullptr;
}

} // namespace

void writeDemoData(const QString& path)
{
    Connection conn;
    conn.setConnectionString(BuildConnectionString(path));
    conn.connect();
    conn.beginTrans();
    Query cycles(conn);
    cycles.setSql(QStringLiteral("select * from Comment"));
    cycles.open();
    Query days(conn);
    Jitter jitter(20100104u);
    int index = 0;
    for (const DemoCycle& c : kCycles) {
        cycles.append();
        cycles.fieldByName(QStringLiteral("起始日期")).setAsDateTime(toDateTimeValue(c.start));
        cycles.fieldByName(QStringLiteral("天数")).setAsInteger(c.days);
        cycles.fieldByName(QStringLiteral("说明")).setAsText(QString::fromUtf8(c.note));
        cycles.post();
        const qint64 id = cycles.fieldByName(QStringLiteral("编号")).asInteger();

        days.setSql(QStringLiteral("select * from Heat where 编号=%1").arg(id));
        days.open();
        for (int d = 1; d <= c.days; ++d) {
            days.append();
            days.fieldByName(QStringLiteral("编号")).setAsInteger(id);
            days.fieldByName(QStringLiteral("序号")).setAsInteger(d);
            days.fieldByName(QStringLiteral("日期")).setAsDateTime(toDateTimeValue(c.start) + d - 1);
            const bool missing = d == c.missingDays[0] || d == c.missingDays[1] || d == c.missingDays[2];
            if (!missing) {
                // Low phase around 36.3, a rise of about 0.3 over two days after ovulation,
                // then a high phase that falls a little before the next menstruation.
                int hundredths = 3630 + jitter.next(12);
                if (d == c.ovulationDay)
                    hundredths = 3615 + jitter.next(5);
                else if (d == c.ovulationDay + 1)
                    hundredths = 3650 + jitter.next(5);
                else if (d > c.ovulationDay + 1)
                    hundredths = (d >= c.days - 1 ? 3640 : 3670) + jitter.next(10);
                if (index == 2 && (d == 5 || d == 6))
                    hundredths = 3710 + jitter.next(5);
                days.fieldByName(QStringLiteral("体温")).setAsFloat(hundredths / 100.0);
            }
            if (d <= c.menstruationDays)
                days.fieldByName(QStringLiteral("月经")).setAsText(QStringLiteral("√"));
            if (d == c.intercourseDays[0] || d == c.intercourseDays[1] || d == c.intercourseDays[2])
                days.fieldByName(QStringLiteral("同房")).setAsText(QStringLiteral("√"));
            if (const char* remark = remarkFor(index, d))
                days.fieldByName(QStringLiteral("备注")).setAsText(QString::fromUtf8(remark));
            days.post();
        }
        days.close();
        ++index;
    }
    conn.commitTrans();
    // The demonstration file is opened read-only; a rollback-journal file needs no side files
    // for that, wherever the program is installed.
    conn.execute(QStringLiteral("PRAGMA journal_mode = DELETE"));
    conn.disconnect();
}

} // namespace korimo::tools
