#include "qt_printers.h"
#include "modal_driver.h"
#include "platform/connectivity.h"
#include "platform/process.h"
#include "test_http_server.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

namespace korimo::platform {
namespace {

using korimo::testing::TestHttpServer;

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

class PendingDeletionsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
    QString path(const char* name) const { return dir_.path() + QLatin1Char('/') + QLatin1String(name); }

    QTemporaryDir dir_;
};

TEST_F(PendingDeletionsTest, ListsEachAbsolutePathOnce)
{
    PendingDeletions list(path("state/pending"));
    list.add(path("Update.EXE"));
    list.add(path("Update.EXE"));
    list.add(QStringLiteral("relative/Update.EXE"));
    list.add(path("evil\n/etc/passwd"));
    EXPECT_EQ(list.paths(), QStringList{path("Update.EXE")});
    // Kept in a file, so a later run of the program sees it.
    EXPECT_EQ(PendingDeletions(path("state/pending")).paths(), QStringList{path("Update.EXE")});
}

TEST_F(PendingDeletionsTest, RunDeletesFilesNobodyUses)
{
    ASSERT_TRUE(writeFile(path("Update.EXE"), "updater"));
    PendingDeletions list(path("pending"));
    list.add(path("Update.EXE"));
    list.add(path("already-gone"));
    list.run();
    EXPECT_FALSE(QFileInfo::exists(path("Update.EXE")));
    EXPECT_TRUE(list.paths().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(path("pending")));
}

TEST_F(PendingDeletionsTest, RunLeavesAFolderAlone)
{
    ASSERT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("Update.EXE")));
    PendingDeletions list(path("pending"));
    list.add(path("Update.EXE"));
    list.run();
    EXPECT_TRUE(QFileInfo(path("Update.EXE")).isDir());
    EXPECT_TRUE(list.paths().isEmpty());
}

// A running updater, as a program of its own or as a script, keeps its file until it has ended.
struct RunningCase {
    const char* name;
    bool script;
};

class RunningUpdaterTest : public PendingDeletionsTest,
                           public ::testing::WithParamInterface<RunningCase> {};

TEST_P(RunningUpdaterTest, IsKeptUntilItEnds)
{
    const QString updater = path("Update.EXE");
    if (GetParam().script)
        ASSERT_TRUE(writeFile(updater, "#!/bin/sh\nsleep 30\nexit 0\n"));
    else
        ASSERT_TRUE(QFile::copy(QStringLiteral("/bin/sleep"), updater));
    QFile::setPermissions(updater, QFile::permissions(updater) | QFile::ExeOwner);
    EXPECT_FALSE(isFileInUse(updater));

    QProcess running;
    running.start(updater, GetParam().script ? QStringList{} : QStringList{QStringLiteral("30")});
    ASSERT_TRUE(running.waitForStarted());
    // A script is opened by its interpreter a moment after the start.
    EXPECT_TRUE(korimo::testing::serveUntil([&] { return isFileInUse(updater); }));

    PendingDeletions list(path("pending"));
    list.add(updater);
    list.run();
    EXPECT_TRUE(QFileInfo::exists(updater));
    EXPECT_EQ(list.paths(), QStringList{updater});

    running.kill();
    running.waitForFinished();
    // The shell's child (sleep) does not hold the script.
    EXPECT_TRUE(korimo::testing::serveUntil([&] { return !isFileInUse(updater); }));
    list.run();
    EXPECT_FALSE(QFileInfo::exists(updater));
    EXPECT_TRUE(list.paths().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Updaters, RunningUpdaterTest,
                         ::testing::Values(RunningCase{"Program", false}, RunningCase{"Script", true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(IsFileInUse, MissingFileIsNotInUse)
{
    EXPECT_FALSE(isFileInUse(QStringLiteral("/nonexistent/korimo/Update.EXE")));
}

TEST(RealProcesses, StartsTheProgramWithItsArguments)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString program = dir.path() + QStringLiteral("/Update.EXE");
    const QString out = dir.path() + QStringLiteral("/args.txt");
    ASSERT_TRUE(writeFile(program, "#!/bin/sh\nprintf '%s|' \"$@\" > \"$0.tmp\" && mv \"$0.tmp\" \""
                                       + out.toUtf8() + "\"\n"));
    QFile::setPermissions(program, QFile::permissions(program) | QFile::ExeOwner);

    EXPECT_TRUE(processes().startDetached(program, {QStringLiteral("/w:4242")}));
    ASSERT_TRUE(korimo::testing::serveUntil([&] { return QFileInfo::exists(out); }));
    QFile file(out);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("/w:4242|"));

    EXPECT_FALSE(processes().startDetached(dir.path() + QStringLiteral("/missing"), {}));
}

TEST(RealProcesses, ScheduledDeletionHappensAtTheNextStartUp)
{
    // Test mode keeps the list out of the user's own data folder.
    QStandardPaths::setTestModeEnabled(true);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString updater = dir.path() + QStringLiteral("/Update.EXE");
    ASSERT_TRUE(writeFile(updater, "updater"));

    processes().scheduleDeletion(updater);
    EXPECT_TRUE(QFileInfo::exists(updater)); // nothing is deleted while this run goes on
    EXPECT_TRUE(PendingDeletions(defaultPendingDeletionsFile()).paths().contains(updater));

    runPendingDeletions();
    EXPECT_FALSE(QFileInfo::exists(updater));
    EXPECT_FALSE(PendingDeletions(defaultPendingDeletionsFile()).paths().contains(updater));
    QStandardPaths::setTestModeEnabled(false);
}

TEST(CurrentProcessId, IsOurs)
{
    EXPECT_EQ(currentProcessId(), static_cast<std::int64_t>(::getpid()));
}

TEST(Connectivity, ReachesAListeningServer)
{
    TestHttpServer server([](const TestHttpServer::Request&, TestHttpServer::Connection&) {});
    EXPECT_TRUE(canOpenTcpConnection(server.url("/Update.asp?Command=Version"), 3000));
    EXPECT_TRUE(canOpenTcpConnection("http://localhost:" + QByteArray::number(server.port()) + "/x", 3000));
    EXPECT_TRUE(connectivity().canConnect(server.url("/Update.asp?Command=Version")));
}

struct UnreachableCase {
    const char* name;
    QByteArray url;
};

class ConnectivityUnreachable : public ::testing::TestWithParam<UnreachableCase> {};

TEST_P(ConnectivityUnreachable, SaysNo)
{
    EXPECT_FALSE(canOpenTcpConnection(GetParam().url, 3000));
}

INSTANTIATE_TEST_SUITE_P(
    Urls, ConnectivityUnreachable,
    ::testing::Values(
        UnreachableCase{"ClosedPort",
                        "http://127.0.0.1:" + QByteArray::number(TestHttpServer::closedPort()) + "/u"},
        UnreachableCase{"Empty", ""},
        UnreachableCase{"NoHost", "http:///Update.asp"},
        UnreachableCase{"PortOutOfRange", "http://127.0.0.1:99999/u"},
        UnreachableCase{"PortNotANumber", "http://127.0.0.1:eighty/u"},
        UnreachableCase{"UnknownName", "http://no-such-host.invalid/u"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace korimo::platform
