#include "data/connection.h"
#include "data/query.h"
#include "temp_database.h"

#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

using namespace korimo;

// A process killed in the middle of its posts must leave a database that opens, passes the
// engine's integrity check and holds every row whose post had returned.
TEST(CrashSafety, KilledWriterLosesNoPostedRow)
{
    for (int killAfter : {7, 23, 61}) {
        korimo::testing::TempDatabase db;
        QProcess child;
        child.start(QStringLiteral(CRASH_WRITER), {db.path(), QStringLiteral("100000")});
        ASSERT_TRUE(child.waitForStarted());
        int acknowledged = 0;
        QByteArray pending;
        while (acknowledged < killAfter && child.waitForReadyRead(10000)) {
            pending += child.readAllStandardOutput();
            acknowledged = pending.count('\n');
        }
        ASSERT_GE(acknowledged, killAfter);
        child.kill(); // SIGKILL: no chance to finish the write under way
        child.waitForFinished();
        pending += child.readAllStandardOutput();
        const QList<QByteArray> lines = pending.trimmed().split('\n');
        const int lastPosted = lines.constLast().toInt();
        ASSERT_GE(lastPosted, killAfter);

        Connection conn;
        conn.setConnectionString(db.connectionString());
        ASSERT_NO_THROW(conn.connect());
        Query check(conn);
        check.setSql(QStringLiteral("PRAGMA integrity_check"));
        check.open();
        EXPECT_EQ(check.field(0).asText(), QStringLiteral("ok"));

        Query rows(conn);
        rows.setSql(QStringLiteral("select * from Heat where 编号=1 order by 序号"));
        rows.open();
        ASSERT_GE(rows.recordCount(), lastPosted);
        for (int i = 1; i <= lastPosted; ++i) {
            ASSERT_TRUE(rows.locate(QStringLiteral("编号;序号"), {1, i})) << "row " << i;
            EXPECT_DOUBLE_EQ(rows.fieldByName(QStringLiteral("体温")).asFloat(), 36.0 + i / 100.0);
        }
    }
}
