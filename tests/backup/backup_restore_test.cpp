#include "backup/backup_restore.h"
#include "backup_fixture.h"
#include "data/connection_string.h"
#include "data/schema.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sqlcipher/sqlite3.h>

using namespace korimo;
using namespace korimo::backup;
using namespace korimo::testing;

namespace {

TEST(BackupFolder, IsTheChosenNameUpToTheMarker)
{
    const struct {
        QString chosen;
        QString folder;
    } cases[] = {
        {QStringLiteral("/home/u/bak/当前路径"), QStringLiteral("/home/u/bak/")},
        {QStringLiteral("/home/u/当前路径/当前路径"), QStringLiteral("/home/u/")},
        {QStringLiteral("/home/u/bak/当前路径.ljf"), QStringLiteral("/home/u/bak/")},
        {QStringLiteral("/home/u/bak/other"), QString()},
        {QStringLiteral("当前路径"), QString()},
    };
    for (const auto& c : cases)
        EXPECT_EQ(backupFolderFromChosenName(c.chosen), c.folder) << c.chosen.toStdString();
}

TEST(BackupTarget, AppendsTheNameWithoutASeparator)
{
    EXPECT_EQ(backupTargetFor(QStringLiteral("/mnt/bak/")), QStringLiteral("/mnt/bak/Data.mdb"));
    EXPECT_EQ(backupTargetFor(QStringLiteral("/mnt/bak")), QStringLiteral("/mnt/bakData.mdb"));
    EXPECT_EQ(keptCopyFor(QStringLiteral("/p/Data/Data.mdb")), QStringLiteral("/p/Data/Data.mdb.bak"));
}

class RestorableTest : public ::testing::Test {
protected:
    QString at(const QString& name) const { return dir.filePath(name); }
    QTemporaryDir dir;
};

TEST_F(RestorableTest, OnlyKorimoDatabasesPass)
{
    makeDatabase(at(QStringLiteral("good.mdb")), {QStringLiteral("a")});
    writeAll(at(QStringLiteral("text.mdb")), "this is not a database\n");
    writeAll(at(QStringLiteral("empty.mdb")), QByteArray());
    {
        // A database of the right password without our tables.
        sqlite3* db = nullptr;
        sqlite3_open(QFile::encodeName(at(QStringLiteral("other.mdb"))).constData(), &db);
        sqlite3_exec(db, "PRAGMA key = 'tundrave'; CREATE TABLE Other (x INTEGER);", nullptr,
                     nullptr, nullptr);
        sqlite3_close(db);
    }
    {
        // Our tables under another password.
        createDatabaseFile(at(QStringLiteral("foreign.mdb")), QStringLiteral("another"));
    }
    // A Korimo database cut short, as a copy broken off part-way would be.
    makeDatabase(at(QStringLiteral("big.mdb")), QStringList(400, QString(200, QLatin1Char('x'))));
    writeAll(at(QStringLiteral("cut.mdb")), readAll(at(QStringLiteral("big.mdb"))).left(3 * 1024));

    const struct {
        const char* name;
        bool restorable;
    } cases[] = {
        {"good.mdb", true},  {"big.mdb", true},      {"text.mdb", false}, {"empty.mdb", false},
        {"other.mdb", false}, {"foreign.mdb", false}, {"cut.mdb", false},  {"missing.mdb", false},
    };
    for (const auto& c : cases) {
        QString why;
        EXPECT_EQ(isRestorableDatabase(at(QLatin1String(c.name)), &why), c.restorable) << c.name;
        EXPECT_EQ(why.isEmpty(), c.restorable) << c.name << ": " << why.toStdString();
        // The check leaves no engine files of its own behind.
        EXPECT_FALSE(QFile::exists(at(QLatin1String(c.name)) + QStringLiteral("-wal"))) << c.name;
        EXPECT_FALSE(QFile::exists(at(QLatin1String(c.name)) + QStringLiteral("-shm"))) << c.name;
    }
}

class RestoreTest : public ::testing::Test {
protected:
    RestoreTest()
    {
        makeDatabase(folder.path(QStringLiteral("good.mdb")), {QStringLiteral("restored")});
        folder.flush();
        before = readAll(folder.dataFile());
    }
    // Nothing but the working file and the engine's files of the open connection.
    void expectUntouched()
    {
        EXPECT_EQ(readAll(folder.dataFile()), before);
        for (const QString& name : namesIn(folder.dataFolder()))
            EXPECT_TRUE(name.startsWith(QStringLiteral("Data.mdb"))) << name.toStdString();
        EXPECT_FALSE(QFile::exists(keptCopyFor(folder.dataFile())));
        EXPECT_TRUE(folder.conn.isConnected());
        EXPECT_EQ(notesIn(folder.dataFile()), QStringList({QStringLiteral("old 1"), QStringLiteral("old 2")}));
    }

    ProgramFolder folder;
    QByteArray before;
};

TEST_F(RestoreTest, ReplacesTheWorkingFileAndKeepsTheOldOne)
{
    QString why;
    ASSERT_TRUE(restoreDatabase(folder, folder.path(QStringLiteral("good.mdb")), &why))
        << why.toStdString();
    EXPECT_EQ(folder.closes, 1);
    EXPECT_EQ(folder.reopens, 0);
    EXPECT_FALSE(folder.conn.isConnected());
    EXPECT_EQ(notesIn(folder.dataFile()), QStringList(QStringLiteral("restored")));
    EXPECT_EQ(notesIn(keptCopyFor(folder.dataFile())),
              QStringList({QStringLiteral("old 1"), QStringLiteral("old 2")}));
    for (const QString& name : namesIn(folder.dataFolder()))
        EXPECT_FALSE(name.startsWith(QLatin1Char('.'))) << name.toStdString();
}

TEST_F(RestoreTest, ASecondRestoreReplacesTheKeptCopy)
{
    ASSERT_TRUE(restoreDatabase(folder, folder.path(QStringLiteral("good.mdb"))));
    makeDatabase(folder.path(QStringLiteral("third.mdb")), {QStringLiteral("third")});
    folder.reopen();
    ASSERT_TRUE(restoreDatabase(folder, folder.path(QStringLiteral("third.mdb"))));
    EXPECT_EQ(notesIn(folder.dataFile()), QStringList(QStringLiteral("third")));
    EXPECT_EQ(notesIn(keptCopyFor(folder.dataFile())), QStringList(QStringLiteral("restored")));
}

TEST_F(RestoreTest, NotAKorimoDatabaseChangesNothing)
{
    writeAll(folder.path(QStringLiteral("text.mdb")), "plain text");
    QString why;
    EXPECT_FALSE(restoreDatabase(folder, folder.path(QStringLiteral("text.mdb")), &why));
    EXPECT_FALSE(why.isEmpty());
    EXPECT_EQ(folder.closes, 1);
    EXPECT_EQ(folder.reopens, 1);
    expectUntouched();
}

TEST_F(RestoreTest, CopyFailingPartWayChangesNothing)
{
    FailingWriter writer(1000);
    EXPECT_FALSE(restoreDatabase(folder, folder.path(QStringLiteral("good.mdb"))));
    EXPECT_TRUE(writer.failed);
    EXPECT_EQ(folder.reopens, 1);
    expectUntouched();
}

TEST_F(RestoreTest, PendingLogOfTheOldFileBlocksTheRestore)
{
    // Someone else still holds the working file with rows in its log: those rows belong to the
    // old file and must never be played into the new one.
    Connection other;
    other.setConnectionString(BuildConnectionString(folder.dataFile()));
    other.connect();
    other.execute(QStringLiteral("insert into Comment (说明) values ('pending')"));
    before = readAll(folder.dataFile());
    EXPECT_FALSE(restoreDatabase(folder, folder.path(QStringLiteral("good.mdb"))));
    EXPECT_EQ(readAll(folder.dataFile()), before);
    EXPECT_TRUE(folder.conn.isConnected());
    other.disconnect();
}

TEST_F(RestoreTest, FailedReopenIsThrownAfterCleaningUp)
{
    writeAll(folder.path(QStringLiteral("text.mdb")), "plain text");
    folder.fail_reopen = true;
    EXPECT_THROW(restoreDatabase(folder, folder.path(QStringLiteral("text.mdb"))), std::exception);
    EXPECT_EQ(readAll(folder.dataFile()), before);
    for (const QString& name : namesIn(folder.dataFolder()))
        EXPECT_FALSE(name.startsWith(QLatin1Char('.'))) << name.toStdString();
}

TEST(Backup, FailedFlushMakesNoCopy)
{
    ProgramFolder folder;
    folder.fail_flush = true;
    QString why;
    EXPECT_FALSE(backupDatabase(folder, folder.path(QStringLiteral("Data.mdb")), &why));
    EXPECT_EQ(why, QStringLiteral("database is locked"));
    EXPECT_FALSE(QFile::exists(folder.path(QStringLiteral("Data.mdb"))));
}

} // namespace
