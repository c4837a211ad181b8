#include "data/connection.h"
#include "data/connection_string.h"
#include "data/error.h"
#include "data/query.h"
#include "data/schema.h"
#include "temp_database.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace korimo;
using korimo::testing::TempDatabase;

namespace {

QString connectError(const QString& connectionString, bool readOnly = false)
{
    Connection conn;
    conn.setReadOnly(readOnly);
    conn.setConnectionString(connectionString);
    try {
        conn.connect();
    } catch (const Error& e) {
        EXPECT_FALSE(conn.isConnected());
        return e.message();
    }
    return QStringLiteral("<connected>");
}

} // namespace

TEST(ConnectionString, IsBuiltExactly)
{
    EXPECT_EQ(BuildConnectionString(QStringLiteral("/opt/korimo/Data/Data.mdb")),
              QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Jet OLEDB:database password=tundrave;"
                             "Data Source=/opt/korimo/Data/Data.mdb;Persist Security Info=False"));
}

TEST(ConnectionString, ParsesItsParts)
{
    const ConnectionParameters p =
        parseConnectionString(BuildConnectionString(QStringLiteral("/a b/数据.mdb")));
    EXPECT_EQ(p.provider, QStringLiteral("Microsoft.Jet.OLEDB.4.0"));
    EXPECT_EQ(p.password, QStringLiteral("tundrave"));
    EXPECT_EQ(p.dataSource, QStringLiteral("/a b/数据.mdb"));
}

TEST(ConnectionString, DatabaseFilesLieUnderTheProgramFolder)
{
    EXPECT_EQ(dataFilePath(QStringLiteral("/opt/korimo/")), QStringLiteral("/opt/korimo/Data/Data.mdb"));
    EXPECT_EQ(demoDataFilePath(QStringLiteral("/opt/korimo/")),
              QStringLiteral("/opt/korimo/Data/Data_Demo.mdb"));
}

TEST(Connection, MissingFileFailsAndIsNeverCreated)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Data.mdb"));
    EXPECT_EQ(connectError(BuildConnectionString(path)),
              QStringLiteral("Could not find file '%1'.").arg(path));
    EXPECT_FALSE(QFileInfo::exists(path));
}

TEST(Connection, WrongPasswordFailsOnConnect)
{
    TempDatabase db;
    QString cs = db.connectionString();
    cs.replace(QStringLiteral("tundrave"), QStringLiteral("wrongpwd"));
    EXPECT_EQ(connectError(cs), QStringLiteral("file is encrypted or is not a database"));
}

TEST(Connection, FilesThatAreNotDatabasesFailOnConnect)
{
    QTemporaryDir dir;
    const QString text = dir.filePath(QStringLiteral("notes.mdb"));
    {
        QFile f(text);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, 'x'));
    }
    EXPECT_EQ(connectError(BuildConnectionString(text)),
              QStringLiteral("file is encrypted or is not a database"));

    // An empty file would open as an empty database; it holds none of the program's tables.
    const QString empty = dir.filePath(QStringLiteral("empty.mdb"));
    {
        QFile f(empty);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    EXPECT_EQ(connectError(BuildConnectionString(empty)),
              QStringLiteral("Unrecognized database format '%1'.").arg(empty));
    EXPECT_EQ(QFileInfo(empty).size(), 0);
}

TEST(Connection, ConnectionStringCannotChangeWhileConnected)
{
    TempDatabase db;
    Connection conn;
    conn.setConnectionString(db.connectionString());
    conn.connect();
    EXPECT_THROW(conn.setConnectionString(QStringLiteral("x")), Error);
    conn.disconnect();
    EXPECT_NO_THROW(conn.setConnectionString(QStringLiteral("x")));
}

TEST(Connection, ReadOnlyConnectionRefusesEveryWrite)
{
    TempDatabase db;
    Connection conn;
    conn.setReadOnly(true);
    conn.setConnectionString(db.connectionString());
    conn.connect();
    Query q(conn);
    q.setSql(QStringLiteral("select * from Comment"));
    q.open();
    q.append();
    q.fieldByName(QStringLiteral("天数")).setAsInteger(28);
    EXPECT_THROW(q.post(), Error);
    EXPECT_EQ(q.state(), Query::State::Insert);
    EXPECT_THROW(conn.execute(QStringLiteral("delete * from Heat where 编号=1")), Error);
}

TEST(Connection, DisconnectClosesQueriesAndRollsBack)
{
    TempDatabase db;
    Connection conn;
    conn.setConnectionString(db.connectionString());
    Query q(conn);
    q.setSql(QStringLiteral("select * from Comment"));
    q.open(); // connects first
    ASSERT_TRUE(conn.isConnected());
    conn.beginTrans();
    q.append();
    q.fieldByName(QStringLiteral("天数")).setAsInteger(5);
    q.post();
    EXPECT_EQ(q.recordCount(), 1);
    conn.disconnect();
    EXPECT_FALSE(q.isOpen());
    EXPECT_FALSE(conn.inTransaction());

    q.open();
    EXPECT_EQ(q.recordCount(), 0); // the uncommitted row was rolled back
}

TEST(Connection, CommitKeepsAndRollbackUndoesStatementsAndDeletes)
{
    TempDatabase db;
    Connection conn;
    conn.setConnectionString(db.connectionString());
    conn.execute(QStringLiteral("insert into Comment (天数) values (1)"));
    conn.execute(QStringLiteral("insert into Heat (编号, 序号) values (1, 1)"));

    Query cycles(conn);
    cycles.setSql(QStringLiteral("select * from Comment"));
    cycles.open();
    Query pub(conn);

    conn.beginTrans();
    pub.setSql(QStringLiteral("delete * from Heat where 编号=1"));
    pub.execSql();
    cycles.remove();
    conn.rollbackTrans();
    cycles.requery();
    EXPECT_EQ(cycles.recordCount(), 1);
    pub.setSql(QStringLiteral("select * from Heat"));
    pub.open();
    EXPECT_EQ(pub.recordCount(), 1);
    pub.close();

    conn.beginTrans();
    pub.setSql(QStringLiteral("delete * from Heat where 编号=1"));
    pub.execSql();
    cycles.remove();
    conn.commitTrans();
    cycles.requery();
    EXPECT_EQ(cycles.recordCount(), 0);
}

TEST(Schema, RecognisesKorimoDatabasesOnly)
{
    TempDatabase db;
    QString why;
    EXPECT_TRUE(isKorimoDatabase(db.path(), &why)) << why.toStdString();

    QTemporaryDir dir;
    const QString other = dir.filePath(QStringLiteral("other.mdb"));
    createDatabaseFile(other, QStringLiteral("tundrave"));
    Connection conn;
    conn.setConnectionString(BuildConnectionString(other));
    conn.execute(QStringLiteral("drop table Heat"));
    conn.disconnect();
    EXPECT_FALSE(isKorimoDatabase(other, &why));
    EXPECT_EQ(why, QStringLiteral("The file is not a Korimo database."));

    EXPECT_FALSE(isKorimoDatabase(dir.filePath(QStringLiteral("none.mdb")), &why));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("none.mdb"))));
}

TEST(Schema, NeverOverwritesAnExistingFile)
{
    TempDatabase db;
    EXPECT_THROW(createDatabaseFile(db.path(), QStringLiteral("tundrave")), Error);
    EXPECT_TRUE(isKorimoDatabase(db.path()));
}

TEST(Connection, AfterACheckpointTheFileAloneHoldsEveryCommittedRow)
{
    TempDatabase db;
    Connection conn;
    conn.setConnectionString(db.connectionString());
    Query q(conn);
    q.setSql(QStringLiteral("select * from Comment"));
    q.open();
    for (int i = 1; i <= 20; ++i) {
        q.append();
        q.fieldByName(QStringLiteral("天数")).setAsInteger(i);
        q.post();
    }
    conn.checkpoint();
    // Copy only the database file, as a backup does, while the connection stays open.
    QTemporaryDir dir;
    const QString copy = dir.filePath(QStringLiteral("copy.mdb"));
    ASSERT_TRUE(QFile::copy(db.path(), copy));

    Connection other;
    other.setConnectionString(BuildConnectionString(copy));
    Query rows(other);
    rows.setSql(QStringLiteral("select * from Comment"));
    rows.open();
    EXPECT_EQ(rows.recordCount(), 20);

    conn.beginTrans();
    EXPECT_THROW(conn.checkpoint(), Error);
    conn.rollbackTrans();
}
