#include "qt_printers.h"
#include "fake_platform.h"
#include "modal_driver.h"
#include "scripted_dialogs.h"
#include "test_http_server.h"
#include "update/download.h"
#include "update/version.h"
#include "update/vexor_update.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>

namespace korimo::update {
namespace {

using korimo::testing::RecordingProcesses;
using korimo::testing::ScriptedDialogs;
using korimo::testing::TestHttpServer;
using korimo::testing::whenShown;
using Request = TestHttpServer::Request;
using Connection = TestHttpServer::Connection;

QByteArray updaterBody(int size)
{
    QByteArray body;
    body.reserve(size);
    for (int i = 0; i < size; ++i)
        body.append(static_cast<char>((i * 7 + i / 251) & 0xff));
    return body;
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

QStringList pidArgument()
{
    return {QStringLiteral("/w:") + QString::number(QCoreApplication::applicationPid())};
}

class DownloadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QApplication::setQuitOnLastWindowClosed(false);
        ASSERT_TRUE(folder_.isValid());
        updater_ = folder_.path() + QStringLiteral("/Update.EXE");
    }

    // A checker that has seen a newer version on server and downloads into the temp folder.
    void prepare(TVexorUpdate& checker, const TestHttpServer& server)
    {
        checker.SetVersion(QStringLiteral("2.0"));
        checker.SetVersionURL(QString::fromLatin1(server.url("/Update.asp?Command=Version")));
        checker.SetDownloadURL(
            QString::fromLatin1(server.url("/Update.asp?Command=Download&Version=<VERSION>")));
        checker.SetProgramFolder(folder_.path());
        ASSERT_EQ(checker.GetNewestVersion(), QByteArray("2.1"));
    }

    static bool isVersionQuery(const Request& r) { return r.path.contains("Command=Version"); }

    static std::vector<Request> downloads(const TestHttpServer& server)
    {
        std::vector<Request> out;
        for (const Request& r : server.requests())
            if (!isVersionQuery(r))
                out.push_back(r);
        return out;
    }

    QTemporaryDir folder_;
    QString updater_;
    ScriptedDialogs dialogs_;
    RecordingProcesses processes_;
};

TEST_F(DownloadTest, SuccessWritesTheBodyAndStartsTheUpdater)
{
    const QByteArray body = updaterBody(200000); // several blocks of the client
    TestHttpServer server([&](const Request& r, Connection& c) {
        c.send(isVersionQuery(r) ? TestHttpServer::answer(200, "2.1")
                                 : TestHttpServer::answer(200, body));
    });
    TVexorUpdate checker;
    prepare(checker, server);

    EXPECT_TRUE(checker.DownloadUpdate());

    EXPECT_EQ(readFile(updater_), body);
    EXPECT_TRUE(QFileInfo(updater_).isExecutable());
    ASSERT_EQ(processes_.starts.size(), 1u);
    EXPECT_EQ(processes_.starts[0].program, updater_);
    EXPECT_EQ(processes_.starts[0].arguments, pidArgument());
    EXPECT_EQ(processes_.deletions, QStringList{updater_});
    EXPECT_TRUE(dialogs_.shown().empty());

    // The running version goes into the URL, and the Referer is the URL up to its last "/".
    const auto requests = downloads(server);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].path, QByteArray("/Update.asp?Command=Download&Version=2.0"));
    EXPECT_EQ(requests[0].header("Referer"), "http://" + server.host());
}

TEST_F(DownloadTest, FollowsRedirectsAndReplacesAnOlderFile)
{
    {
        QFile old(updater_);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(300000, 'o')); // longer than the new body: must not survive
    }
    const QByteArray body = updaterBody(5000);
    TestHttpServer server([&](const Request& r, Connection& c) {
        if (isVersionQuery(r))
            c.send(TestHttpServer::answer(200, "2.1"));
        else if (r.path.startsWith("/Update.asp"))
            c.send(TestHttpServer::answer(302, "moved", "Location: /files/Update.bin\r\n"));
        else
            c.send(TestHttpServer::answer(200, body));
    });
    TVexorUpdate checker;
    prepare(checker, server);

    EXPECT_TRUE(checker.DownloadUpdate());
    EXPECT_EQ(readFile(updater_), body);
    const auto requests = downloads(server);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].path, QByteArray("/files/Update.bin"));
}

TEST_F(DownloadTest, StartFailureStillCountsAsDownloaded)
{
    processes_.startResult = false;
    TestHttpServer server([&](const Request& r, Connection& c) {
        c.send(TestHttpServer::answer(200, isVersionQuery(r) ? "2.1" : "updater"));
    });
    TVexorUpdate checker;
    prepare(checker, server);
    EXPECT_TRUE(checker.DownloadUpdate());
    EXPECT_EQ(processes_.starts.size(), 1u);
}

TEST_F(DownloadTest, RetryAfterAFailureKeepsOnlyTheNewBody)
{
    std::atomic<int> attempts{0};
    TestHttpServer server([&](const Request& r, Connection& c) {
        if (isVersionQuery(r)) {
            c.send(TestHttpServer::answer(200, "2.1"));
        } else if (++attempts == 1) {
            // Announces more than it sends, then hangs up: a failed attempt that wrote bytes.
            c.send("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + QByteArray(40000, 'A'));
        } else {
            c.send(TestHttpServer::answer(200, "SECOND"));
        }
    });
    TVexorUpdate checker;
    prepare(checker, server);
    dialogs_.answer(true);

    EXPECT_TRUE(checker.DownloadUpdate());

    EXPECT_EQ(readFile(updater_), QByteArray("SECOND"));
    ASSERT_EQ(dialogs_.shown().size(), 1u);
    EXPECT_EQ(dialogs_.shown()[0].kind, ScriptedDialogs::Kind::Question);
    EXPECT_EQ(dialogs_.shown()[0].title, QStringLiteral("下载"));
    EXPECT_EQ(dialogs_.shown()[0].text, QStringLiteral("下载失败，是否重试"));
    EXPECT_EQ(attempts.load(), 2);
    ASSERT_EQ(processes_.starts.size(), 1u);
    EXPECT_EQ(processes_.starts[0].arguments, pidArgument());
}

TEST_F(DownloadTest, NoToTheRetryQuestionGivesUp)
{
    TestHttpServer server([&](const Request& r, Connection& c) {
        c.send(isVersionQuery(r) ? TestHttpServer::answer(200, "2.1")
                                 : TestHttpServer::answer(404, "not here"));
    });
    TVexorUpdate checker;
    prepare(checker, server);
    dialogs_.answer(false);

    EXPECT_FALSE(checker.DownloadUpdate());

    EXPECT_EQ(dialogs_.texts(), QStringList{QStringLiteral("下载失败，是否重试")});
    EXPECT_TRUE(processes_.starts.empty());
    EXPECT_EQ(processes_.deletions, QStringList{updater_});
    EXPECT_EQ(downloads(server).size(), 1u);
}

TEST_F(DownloadTest, CancelDuringTheBodyEndsAtOnceAndStartsNothing)
{
    std::atomic<bool> clientGone{false};
    TestHttpServer server([&](const Request& r, Connection& c) {
        if (isVersionQuery(r)) {
            c.send(TestHttpServer::answer(200, "2.1"));
            return;
        }
        c.send("HTTP/1.1 200 OK\r\nContent-Length: 5000000\r\n\r\n" + QByteArray(1536, 'x'));
        c.trickle(); // until the client hangs up
        clientGone = !c.stopping();
    });
    TVexorUpdate checker;
    prepare(checker, server);

    bool hiddenAtOnce = false;
    whenShown<TfmDownload>([&](TfmDownload* window) {
        if (!window->LabelState->text().startsWith(QStringLiteral("正在下载升级程序(")))
            return false;
        QTest::mouseClick(window->Button1, Qt::LeftButton);
        hiddenAtOnce = !window->isVisible();
        return true;
    });
    EXPECT_FALSE(checker.DownloadUpdate());

    EXPECT_TRUE(hiddenAtOnce);
    // The worker dropped the connection instead of reading the body to its end.
    EXPECT_TRUE(korimo::testing::serveUntil([&] { return clientGone.load(); }));
    EXPECT_TRUE(dialogs_.shown().empty()); // no retry question after a cancel
    EXPECT_TRUE(processes_.starts.empty());
    EXPECT_EQ(processes_.deletions, QStringList{updater_});
}

// The label and the bar follow the bytes received against the bytes announced; a body without a
// length announces 0.
struct ProgressCase {
    const char* name;
    QByteArray head;
    const char* label;
    int maximum;
};

class DownloadProgressTest : public DownloadTest,
                             public ::testing::WithParamInterface<ProgressCase> {};

TEST_P(DownloadProgressTest, LabelAndBarShowTheCounts)
{
    const ProgressCase& c = GetParam();
    std::atomic<bool> seen{false};
    TestHttpServer server([&](const Request&, Connection& conn) {
        conn.send(c.head + QByteArray(1536, 'x'));
        conn.waitFor(seen);
    });
    TfmDownload window(folder_.path());
    EXPECT_EQ(window.windowTitle(), QStringLiteral("下载"));
    EXPECT_EQ(window.LabelState->text(), QStringLiteral("正在连接.."));
    EXPECT_EQ(window.ProgressBar->maximum(), 100);
    EXPECT_EQ(window.ProgressBar->value(), 0);
    EXPECT_EQ(window.Button1->text(), QStringLiteral("取消"));
    EXPECT_FALSE(window.windowFlags() & Qt::WindowCloseButtonHint);

    QString label;
    int maximum = -1;
    int value = -1;
    whenShown<TfmDownload>([&](TfmDownload* shown) {
        if (shown->LabelState->text() != QString::fromUtf8(c.label))
            return false;
        label = shown->LabelState->text();
        maximum = shown->ProgressBar->maximum();
        value = shown->ProgressBar->value();
        seen = true;
        QTest::mouseClick(shown->Button1, Qt::LeftButton);
        return true;
    });
    window.StartDownload(server.url("/Update.asp?Command=Download&Version=2.0"));
    EXPECT_NE(window.Worker(), nullptr);
    window.exec();

    EXPECT_FALSE(window.Succeeded());
    EXPECT_EQ(label, QString::fromUtf8(c.label));
    EXPECT_EQ(maximum, c.maximum);
    if (c.maximum > 0) {
        EXPECT_EQ(value, 1536);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, DownloadProgressTest,
    ::testing::Values(
        ProgressCase{"Announced", "HTTP/1.1 200 OK\r\nContent-Length: 5000000\r\n\r\n",
                     "正在下载升级程序(1.50KB/4.77MB)..", 5000000},
        ProgressCase{"Unannounced", "HTTP/1.1 200 OK\r\n\r\n", "正在下载升级程序(1.50KB/0B)..", 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DownloadTest, TargetThatCannotBeCreatedIsReported)
{
    ASSERT_TRUE(QDir(folder_.path()).mkdir(QStringLiteral("Update.EXE")));
    TestHttpServer server([&](const Request& r, Connection& c) {
        c.send(TestHttpServer::answer(200, isVersionQuery(r) ? "2.1" : "updater"));
    });
    TVexorUpdate checker;
    prepare(checker, server);

    EXPECT_FALSE(checker.DownloadUpdate());

    EXPECT_EQ(dialogs_.texts(ScriptedDialogs::Kind::Message),
              QStringList{QStringLiteral("升级程序还在执行中，不能下载")});
    EXPECT_TRUE(downloads(server).empty()); // no attempt
    EXPECT_TRUE(processes_.starts.empty());
    EXPECT_TRUE(processes_.deletions.isEmpty());
    EXPECT_TRUE(QFileInfo(updater_).isDir());
}

TEST_F(DownloadTest, UpdaterStillRunningBlocksTheDownload)
{
    // An updater started earlier still runs from Update.EXE: the file cannot be rewritten.
    ASSERT_TRUE(QFile::copy(QStringLiteral("/bin/sleep"), updater_));
    QProcess running;
    running.start(updater_, {QStringLiteral("30")});
    ASSERT_TRUE(running.waitForStarted());
    const QByteArray before = readFile(updater_);

    TestHttpServer server([&](const Request& r, Connection& c) {
        c.send(TestHttpServer::answer(200, isVersionQuery(r) ? "2.1" : "updater"));
    });
    TVexorUpdate checker;
    prepare(checker, server);
    const bool result = checker.DownloadUpdate();
    running.kill();
    running.waitForFinished();

    EXPECT_FALSE(result);
    EXPECT_EQ(dialogs_.texts(), QStringList{QStringLiteral("升级程序还在执行中，不能下载")});
    EXPECT_TRUE(downloads(server).empty());
    EXPECT_TRUE(processes_.deletions.isEmpty());
    EXPECT_EQ(readFile(updater_), before);
}

TEST(UpdaterFile, SitsInTheProgramFolder)
{
    EXPECT_EQ(updaterFileIn(QStringLiteral("/opt/korimo")), QStringLiteral("/opt/korimo/Update.EXE"));
    EXPECT_EQ(updaterFileIn(QStringLiteral("/opt/korimo/")), QStringLiteral("/opt/korimo/Update.EXE"));
    EXPECT_EQ(updaterFileIn(QStringLiteral("/")), QStringLiteral("/Update.EXE"));
}

TEST(TfmDownloadWindow, ClosedWhileTheWorkerWaitsIsReleasedSafely)
{
    // The window goes out of scope while its worker is still connected to a silent server: the
    // release stops the worker and waits for it instead of leaving it with a dangling window.
    QTemporaryDir folder;
    ScriptedDialogs dialogs;
    RecordingProcesses processes;
    std::atomic<bool> never{false};
    TestHttpServer server([&](const Request&, Connection& c) {
        c.send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n");
        c.waitFor(never);
    });
    {
        TfmDownload window(folder.path());
        window.StartDownload(server.url("/Update.EXE"));
        korimo::testing::serveUntil([&] { return !server.requests().empty(); });
    }
    EXPECT_TRUE(processes.starts.empty());
    EXPECT_TRUE(dialogs.shown().empty());
}

} // namespace
} // namespace korimo::update
