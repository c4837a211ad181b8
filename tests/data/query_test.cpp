#include "data/connection.h"
#include "data/error.h"
#include "data/query.h"
#include "data/values.h"
#include "temp_database.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace korimo;
using State = Query::State;

namespace {

class QueryTest : public ::testing::Test {
protected:
    QueryTest()
    {
        conn.setConnectionString(db.connectionString());
        conn.connect();
    }
    void addCycles(int n)
    {
        for (int i = 1; i <= n; ++i)
            conn.execute(QStringLiteral("insert into Comment (起始日期, 天数, 说明) values (%1, %2, 'c%3')")
                             .arg(40000 + 30 * i)
                             .arg(25 + i)
                             .arg(i));
    }
    void addDays(int id, int n)
    {
        for (int d = 1; d <= n; ++d)
            conn.execute(QStringLiteral("insert into Heat (编号, 序号, 日期) values (%1, %2, %3)")
                             .arg(id)
                             .arg(d)
                             .arg(40000 + d));
    }
    Query& cycles()
    {
        q.setSql(QStringLiteral("select * from Comment"));
        q.open();
        return q;
    }
    QString errorOf(const std::function<void()>& f)
    {
        try {
            f();
        } catch (const Error& e) {
            return e.message();
        }
        return {};
    }

    korimo::testing::TempDatabase db;
    Connection conn;
    Query q{conn};
};

} // namespace

TEST_F(QueryTest, RecordNumberFollowsTheCursorAndIsMinusOneWhenEmptyOrInserting)
{
    Query& c = cycles();
    EXPECT_EQ(c.state(), State::Browse);
    EXPECT_EQ(c.recordCount(), 0);
    EXPECT_EQ(c.recNo(), -1);

    addCycles(3);
    c.requery();
    EXPECT_EQ(c.recordCount(), 3);
    EXPECT_EQ(c.recNo(), 1);
    c.next();
    c.next();
    EXPECT_EQ(c.recNo(), 3);
    EXPECT_FALSE(c.eof());
    c.next(); // past the last row: stays, eof
    EXPECT_EQ(c.recNo(), 3);
    EXPECT_TRUE(c.eof());
    c.append();
    EXPECT_EQ(c.state(), State::Insert);
    EXPECT_EQ(c.recNo(), -1);
    EXPECT_EQ(c.recordCount(), 3);
    {
        Query::PaintScope paint(c, 1);
        EXPECT_EQ(c.recNo(), -1); // while inserting every painted row reads -1
    }
    c.cancel();
    {
        Query::PaintScope paint(c, 1);
        EXPECT_EQ(c.recNo(), 2);
    }
    EXPECT_EQ(c.recNo(), 3);
}

TEST_F(QueryTest, AppendedRowGetsItsIdAtOnceAndIdsAreNeverReused)
{
    Query& c = cycles();
    c.append();
    EXPECT_EQ(c.fieldByName(QStringLiteral("编号")).asInteger(), 0); // not stored yet
    c.fieldByName(QStringLiteral("天数")).setAsInteger(28);
    c.post();
    EXPECT_EQ(c.state(), State::Browse);
    const qint64 first = c.fieldByName(QStringLiteral("编号")).asInteger();
    EXPECT_GT(first, 0);
    c.remove();
    c.append();
    c.fieldByName(QStringLiteral("天数")).setAsInteger(30);
    c.post();
    EXPECT_GT(c.fieldByName(QStringLiteral("编号")).asInteger(), first);
}

TEST_F(QueryTest, PostedRowReadsBackTheColumnDefaults)
{
    q.setSql(QStringLiteral("select * from Heat where 编号=7"));
    q.open();
    q.append();
    q.fieldByName(QStringLiteral("编号")).setAsInteger(7);
    q.fieldByName(QStringLiteral("序号")).setAsInteger(1);
    q.post();
    EXPECT_EQ(q.fieldByName(QStringLiteral("月经")).asText(), QStringLiteral("－"));
    EXPECT_EQ(q.fieldByName(QStringLiteral("同房")).asText(), QStringLiteral("－"));
    EXPECT_TRUE(q.fieldByName(QStringLiteral("体温")).isNull());
}

TEST_F(QueryTest, InsertPutsTheNewRowAheadOfTheCurrentOne)
{
    addCycles(3);
    Query& c = cycles();
    c.next(); // row 2
    c.insert();
    EXPECT_EQ(c.currentIndex(), 1);
    EXPECT_EQ(c.rowCount(), 4);
    EXPECT_EQ(c.displayText(2, c.fieldIndex(QStringLiteral("说明"))), QStringLiteral("c2"));
    c.cancel(); // back to the row that was current before
    EXPECT_EQ(c.fieldByName(QStringLiteral("说明")).asText(), QStringLiteral("c2"));

    c.append();
    c.cancel(); // an appended row cancelled leaves the last row current
    EXPECT_EQ(c.fieldByName(QStringLiteral("说明")).asText(), QStringLiteral("c3"));
}

TEST_F(QueryTest, EditOnAnEmptyResultStartsANewRow)
{
    Query& c = cycles();
    c.edit();
    EXPECT_EQ(c.state(), State::Insert);
    c.edit(); // no change while inserting
    EXPECT_EQ(c.state(), State::Insert);
}

TEST_F(QueryTest, CancelRestoresTheRowAndPostUpdatesOnlyThatRow)
{
    addCycles(2);
    Query& c = cycles();
    c.edit();
    c.fieldByName(QStringLiteral("说明")).setAsText(QStringLiteral("changed"));
    EXPECT_TRUE(c.isModified());
    c.cancel();
    EXPECT_EQ(c.fieldByName(QStringLiteral("说明")).asText(), QStringLiteral("c1"));

    c.fieldByName(QStringLiteral("说明")).setAsText(QStringLiteral("saved")); // puts it into edit
    EXPECT_EQ(c.state(), State::Edit);
    c.post();
    c.requery();
    EXPECT_EQ(c.fieldByName(QStringLiteral("说明")).asText(), QStringLiteral("saved"));
    c.next();
    EXPECT_EQ(c.fieldByName(QStringLiteral("说明")).asText(), QStringLiteral("c2"));
}

TEST_F(QueryTest, MovesPostChangesAndDropAnUntouchedNewRow)
{
    addCycles(2);
    Query& c = cycles();
    c.fieldByName(QStringLiteral("天数")).setAsInteger(99);
    c.next(); // posts
    c.append();
    c.prior(); // untouched new row dropped
    EXPECT_EQ(c.rowCount(), 2);
    EXPECT_EQ(c.state(), State::Browse);
    c.requery();
    EXPECT_EQ(c.fieldByName(QStringLiteral("天数")).asInteger(), 99);
}

TEST_F(QueryTest, DeleteRemovesTheRowOrDropsANewOne)
{
    addCycles(3);
    Query& c = cycles();
    c.next();
    c.remove();
    EXPECT_EQ(c.recordCount(), 2);
    EXPECT_EQ(c.fieldByName(QStringLiteral("说明")).asText(), QStringLiteral("c3"));
    c.append();
    c.remove(); // dropped, nothing deleted
    EXPECT_EQ(c.state(), State::Browse);
    c.requery();
    EXPECT_EQ(c.recordCount(), 2);
    c.remove();
    c.remove();
    EXPECT_EQ(c.recNo(), -1);
    EXPECT_EQ(errorOf([&] { c.remove(); }),
              QStringLiteral("Cannot perform this operation on an empty dataset"));
}

TEST_F(QueryTest, NullsReadAsZeroAndEmpty)
{
    conn.execute(QStringLiteral("insert into Comment default values"));
    Query& c = cycles();
    EXPECT_EQ(c.fieldByName(QStringLiteral("天数")).asInteger(), 0);
    EXPECT_EQ(c.fieldByName(QStringLiteral("天数")).asFloat(), 0.0);
    EXPECT_EQ(c.fieldByName(QStringLiteral("说明")).asText(), QString());
    EXPECT_EQ(c.fieldByName(QStringLiteral("起始日期")).asText(), QString());
    EXPECT_EQ(c.fieldByName(QStringLiteral("起始日期")).asDateTime(), 0.0);
}

TEST_F(QueryTest, AggregatesReadNullAsZeroOverNoRows)
{
    q.setSql(QStringLiteral("select Max(体温) as MaxT,Min(体温) as MinT from Heat where 编号=1 and 体温>0"));
    q.open();
    EXPECT_EQ(q.recordCount(), 1);
    EXPECT_EQ(q.fieldByName(QStringLiteral("MaxT")).asFloat(), 0.0);
    EXPECT_EQ(q.fieldByName(QStringLiteral("MinT")).asFloat(), 0.0);
    q.close();

    conn.execute(QStringLiteral("insert into Heat (编号, 序号, 体温) values (1, 1, 36.55), (1, 2, 37.1), (1, 3, 0), (2, 1, 35)"));
    q.open();
    EXPECT_DOUBLE_EQ(q.fieldByName(QStringLiteral("maxt")).asFloat(), 37.1);
    EXPECT_DOUBLE_EQ(q.fieldByName(QStringLiteral("MinT")).asFloat(), 36.55);
    EXPECT_FALSE(q.isUpdatable());
    q.fieldByName(QStringLiteral("MaxT")).setAsFloat(40);
    EXPECT_EQ(errorOf([&] { q.post(); }), QStringLiteral("Cannot modify a read-only dataset"));
}

TEST_F(QueryTest, TheProgramsStatementsRunUnchanged)
{
    addCycles(1);
    addDays(1, 30);
    q.setSql(QStringLiteral("delete * from Heat where 编号=1 and 序号>28"));
    q.execSql();
    q.setSql(QStringLiteral("select * from Heat where 编号=1 order by 序号"));
    q.open();
    EXPECT_EQ(q.recordCount(), 28);
    q.last();
    EXPECT_EQ(q.fieldByName(QStringLiteral("序号")).asInteger(), 28);
    q.setSql(QStringLiteral("delete * from Heat where 编号=1"));
    q.execSql();
    q.setSql(QStringLiteral("select * from Heat where 编号=1 and 体温>0 order by 序号"));
    q.open();
    EXPECT_EQ(q.recordCount(), 0);
}

TEST_F(QueryTest, LocateFindsTheDayByCycleAndNumber)
{
    addDays(1, 5);
    addDays(2, 5);
    q.setSql(QStringLiteral("select * from Heat where 编号=2"));
    q.open();
    EXPECT_TRUE(q.locate(QStringLiteral("编号;序号"), {2, 4}));
    EXPECT_EQ(q.fieldByName(QStringLiteral("序号")).asInteger(), 4);
    EXPECT_FALSE(q.locate(QStringLiteral("编号;序号"), {2, 6}));
    EXPECT_EQ(q.fieldByName(QStringLiteral("序号")).asInteger(), 4) << "a failed locate stays";
    EXPECT_FALSE(q.locate(QStringLiteral("编号;序号"), {1, 1})) << "not in this result";
}

TEST_F(QueryTest, RequeryPostsAPendingEditAndGoesToTheFirstRow)
{
    addCycles(3);
    Query& c = cycles();
    c.last();
    c.fieldByName(QStringLiteral("说明")).setAsText(QStringLiteral("kept"));
    c.requery();
    EXPECT_EQ(c.recNo(), 1);
    c.last();
    EXPECT_EQ(c.fieldByName(QStringLiteral("说明")).asText(), QStringLiteral("kept"));
}

TEST_F(QueryTest, RefusedPostRaisesTheEngineMessageAndKeepsTheRow)
{
    addDays(1, 2);
    q.setSql(QStringLiteral("select * from Heat where 编号=1"));
    q.open();
    q.append();
    q.fieldByName(QStringLiteral("编号")).setAsInteger(1);
    q.fieldByName(QStringLiteral("序号")).setAsInteger(2); // duplicate day
    q.fieldByName(QStringLiteral("体温")).setAsFloat(36.6);
    EXPECT_EQ(errorOf([&] { q.post(); }),
              QStringLiteral("UNIQUE constraint failed: Heat.编号, Heat.序号"));
    EXPECT_EQ(q.state(), State::Insert);
    EXPECT_DOUBLE_EQ(q.fieldByName(QStringLiteral("体温")).asFloat(), 36.6);
    q.fieldByName(QStringLiteral("序号")).setAsInteger(3);
    q.post();
    EXPECT_EQ(q.state(), State::Browse);
    EXPECT_EQ(q.recordCount(), 3);
}

TEST_F(QueryTest, TextThatDoesNotParseIsRefusedAndTheColumnKeepsItsValue)
{
    addCycles(1);
    conn.execute(QStringLiteral("insert into Heat (编号, 序号, 体温) values (1, 1, 36.5)"));
    Query& c = cycles();
    struct Case {
        const char* field;
        const char* typed;
        const char* message;
    };
    const Case cases[] = {
        {"天数", "+", "'+' is not a valid integer value for field '天数'"},
        {"天数", "2.5", "'2.5' is not a valid integer value for field '天数'"},
        {"起始日期", "2010-13-01", "'2010-13-01' is not a valid date and time"},
        {"起始日期", "tomorrow", "'tomorrow' is not a valid date and time"},
    };
    for (const Case& k : cases) {
        const QString before = c.fieldByName(QString::fromUtf8(k.field)).asText();
        EXPECT_EQ(errorOf([&] { c.fieldByName(QString::fromUtf8(k.field)).setAsText(QString::fromUtf8(k.typed)); }),
                  QString::fromUtf8(k.message));
        EXPECT_EQ(c.fieldByName(QString::fromUtf8(k.field)).asText(), before);
    }
    Query days(conn);
    days.setSql(QStringLiteral("select * from Heat"));
    days.open();
    for (const char* typed : {"36..5", "-", "36,5", "abc"}) {
        EXPECT_EQ(errorOf([&] { days.fieldByName(QStringLiteral("体温")).setAsText(QString::fromUtf8(typed)); }),
                  QStringLiteral("'%1' is not a valid floating point value for field '体温'").arg(QString::fromUtf8(typed)));
    }
    EXPECT_DOUBLE_EQ(days.fieldByName(QStringLiteral("体温")).asFloat(), 36.5);
    days.fieldByName(QStringLiteral("体温")).setAsText(QStringLiteral("3.65e1"));
    EXPECT_DOUBLE_EQ(days.fieldByName(QStringLiteral("体温")).asFloat(), 36.5);
    days.fieldByName(QStringLiteral("体温")).setAsText(QString());
    EXPECT_TRUE(days.fieldByName(QStringLiteral("体温")).isNull());
}

TEST_F(QueryTest, DatesAreDayCountsShownInTheShortFormat)
{
    Query& c = cycles();
    c.append();
    c.fieldByName(QStringLiteral("起始日期")).setAsText(QStringLiteral("2010-01-30"));
    c.fieldByName(QStringLiteral("天数")).setAsText(QStringLiteral("3"));
    c.post();
    const double start = c.fieldByName(QStringLiteral("起始日期")).asDateTime();
    EXPECT_EQ(toDate(start), QDate(2010, 1, 30));
    EXPECT_EQ(toDate(start + 2), QDate(2010, 2, 1));
    EXPECT_EQ(c.fieldByName(QStringLiteral("起始日期")).asText(), QStringLiteral("2010/1/30"));
    EXPECT_EQ(c.displayText(0, c.fieldIndex(QStringLiteral("起始日期"))), QStringLiteral("2010/1/30"));
}

TEST_F(QueryTest, SignalsTellTheGridWhatChanged)
{
    addCycles(2);
    Query& c = cycles();
    QSignalSpy reset(&c, &Query::reset);
    QSignalSpy moved(&c, &Query::currentChanged);
    QSignalSpy row(&c, &Query::rowChanged);
    c.next();
    EXPECT_EQ(moved.count(), 1);
    c.fieldByName(QStringLiteral("天数")).setAsInteger(3);
    EXPECT_GE(row.count(), 1);
    c.requery();
    EXPECT_EQ(reset.count(), 1);
}

TEST_F(QueryTest, ClosedQueryRefusesMovesAndOpeningConnectsFirst)
{
    Query& c = cycles();
    c.close();
    EXPECT_EQ(errorOf([&] { c.next(); }), QStringLiteral("Cannot perform this operation on a closed dataset"));
    conn.disconnect();
    c.open();
    EXPECT_TRUE(conn.isConnected());
    EXPECT_TRUE(c.isOpen());
}

TEST_F(QueryTest, UnknownFieldIsReported)
{
    Query& c = cycles();
    c.setObjectName(QStringLiteral("Q1"));
    EXPECT_EQ(errorOf([&] { c.fieldByName(QStringLiteral("体重")); }),
              QStringLiteral("Q1: Field '体重' not found"));
}
