#include "data/connection.h"
#include "data/connection_string.h"
#include "data/query.h"
#include "data/values.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace korimo;

namespace {

int runMkdb(const QString& folder)
{
    QProcess p;
    p.start(QStringLiteral(MKDB), {folder});
    p.waitForFinished();
    return p.exitCode();
}

} // namespace

TEST(Mkdb, WritesAnEmptyWorkingFileAndNeverOverwritesIt)
{
    QTemporaryDir dir;
    ASSERT_EQ(runMkdb(dir.path()), 0);
    const QString data = dataFilePath(dir.path() + QLatin1Char('/'));
    ASSERT_TRUE(QFileInfo::exists(data));
    {
        Connection conn;
        conn.setConnectionString(BuildConnectionString(data));
        Query q(conn);
        q.setSql(QStringLiteral("select * from Comment"));
        q.open();
        EXPECT_EQ(q.recordCount(), 0);
        q.append();
        q.fieldByName(QStringLiteral("说明")).setAsText(QStringLiteral("my cycle"));
        q.post();
    }
    ASSERT_EQ(runMkdb(dir.path()), 0); // a rebuild
    Connection conn;
    conn.setConnectionString(BuildConnectionString(data));
    Query q(conn);
    q.setSql(QStringLiteral("select * from Comment"));
    q.open();
    ASSERT_EQ(q.recordCount(), 1);
    EXPECT_EQ(q.fieldByName(QStringLiteral("说明")).asText(), QStringLiteral("my cycle"));
}

TEST(Mkdb, DemonstrationFileHoldsRealisticCyclesAndOpensReadOnly)
{
    QTemporaryDir dir;
    ASSERT_EQ(runMkdb(dir.path()), 0);
    Connection conn;
    conn.setReadOnly(true);
    conn.setConnectionString(BuildConnectionString(demoDataFilePath(dir.path() + QLatin1Char('/'))));
    Query cycles(conn);
    cycles.setSql(QStringLiteral("select * from Comment"));
    cycles.open();
    ASSERT_GE(cycles.recordCount(), 3);
    Query days(conn);
    for (int c = 0; c < cycles.recordCount(); ++c, cycles.next()) {
        const qint64 id = cycles.fieldByName(QStringLiteral("编号")).asInteger();
        const qint64 length = cycles.fieldByName(QStringLiteral("天数")).asInteger();
        EXPECT_GE(length, 26);
        EXPECT_LE(length, 32);
        days.setSql(QStringLiteral("select * from Heat where 编号=%1 order by 序号").arg(id));
        days.open();
        ASSERT_EQ(days.recordCount(), length);
        const double start = cycles.fieldByName(QStringLiteral("起始日期")).asDateTime();
        int missing = 0;
        double low = 99, high = 0;
        for (int d = 1; d <= length; ++d, days.next()) {
            EXPECT_EQ(days.fieldByName(QStringLiteral("序号")).asInteger(), d);
            EXPECT_EQ(days.fieldByName(QStringLiteral("日期")).asDateTime(), start + d - 1);
            const double t = days.fieldByName(QStringLiteral("体温")).asFloat();
            if (t <= 0)
                ++missing;
            else if (d <= 10)
                low = std::min(low, t);
            else if (d >= length - 8)
                high = std::max(high, t);
            if (d == 1)
                EXPECT_EQ(days.fieldByName(QStringLiteral("月经")).asText(), QStringLiteral("√"));
        }
        EXPECT_GE(missing, 2);
        EXPECT_GE(high - low, 0.2) << "the high phase stands above the low phase";
        days.close();
    }
}
