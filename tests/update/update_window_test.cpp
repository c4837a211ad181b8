#include "qt_printers.h"
#include "fake_platform.h"
#include "modal_driver.h"
#include "scripted_dialogs.h"
#include "test_http_server.h"
#include "update/update_window.h"
#include "update/vexor_update.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace korimo::update {
namespace {

using korimo::testing::FakeConnectivity;
using korimo::testing::RecordingProcesses;
using korimo::testing::ScriptedDialogs;
using korimo::testing::TestHttpServer;
using korimo::testing::whenShown;
using Request = TestHttpServer::Request;
using Connection = TestHttpServer::Connection;

const QString kNewer = QStringLiteral("系统有更新版本,可更新");
const QString kCurrent = QStringLiteral("你已经使用的是最新版本，无需更新");
const QString kAnnounce = QStringLiteral("发现系统有新的版本，建议您更新到最新版本！");
const QString kOffline = QStringLiteral("你没有连接上Internet，请先连接Internet再执行此操作！");

// What the window showed when it came up.
struct Seen {
    bool shown = false;
    QString title, current, newest, verdict, button;
    QStringList boxesBefore; // boxes shown before the window appeared
    int checkersAlive = -1;
};

class UpdateWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QApplication::setQuitOnLastWindowClosed(false);
        ASSERT_TRUE(folder_.isValid());
    }

    UpdateSettings settings(const TestHttpServer& server, const QString& appVersion) const
    {
        return {folder_.path(), QString::fromLatin1(server.host()), appVersion};
    }

    // Records the window once it shows, then acts on it.
    void inspectThen(Seen& seen, std::function<void(TFrm_Update*)> act)
    {
        whenShown<TFrm_Update>([this, &seen, act](TFrm_Update* window) {
            seen.shown = true;
            seen.title = window->windowTitle();
            seen.current = window->Edit1->text();
            seen.newest = window->Edit2->text();
            seen.verdict = window->Label3->text();
            seen.button = window->Button1->text();
            seen.boxesBefore = dialogs_.texts();
            seen.checkersAlive = TVexorUpdate::liveInstances();
            act(window);
            return true;
        });
    }

    static void clickButton1(TFrm_Update* window)
    {
        QTest::mouseClick(window->Button1, Qt::LeftButton);
    }

    QTemporaryDir folder_;
    ScriptedDialogs dialogs_;
    RecordingProcesses processes_;
    int ends_ = 0;
    std::function<void()> endProgram_ = [this] { ++ends_; };
};

struct VerdictCase {
    const char* name;
    const char* appVersion;
    QByteArray answer; // raw answer to the version query
    const char* newestShown;
    bool newer;
};

class UpdateWindowVerdict : public UpdateWindowTest,
                            public ::testing::WithParamInterface<VerdictCase> {};

TEST_P(UpdateWindowVerdict, ShowsVersionsAndVerdict)
{
    const VerdictCase& c = GetParam();
    TestHttpServer server([&](const Request&, Connection& conn) { conn.send(c.answer); });
    FakeConnectivity connectivity(true);

    Seen seen;
    inspectThen(seen, [](TFrm_Update* window) { window->close(); });
    runUpdateCommand(nullptr, settings(server, QString::fromUtf8(c.appVersion)), endProgram_);

    ASSERT_TRUE(seen.shown);
    EXPECT_EQ(seen.title, QStringLiteral("系统更新"));
    EXPECT_EQ(seen.current, QString::fromUtf8(c.appVersion));
    EXPECT_EQ(seen.newest, QString::fromUtf8(c.newestShown));
    EXPECT_EQ(seen.verdict, c.newer ? kNewer : kCurrent);
    EXPECT_EQ(seen.button, c.newer ? QStringLiteral("更新") : QStringLiteral("关闭"));
    // The announcement comes before the window, and only for a newer version.
    EXPECT_EQ(seen.boxesBefore, c.newer ? QStringList{kAnnounce} : QStringList{});
    if (c.newer) {
        EXPECT_EQ(dialogs_.shown()[0].kind, ScriptedDialogs::Kind::Information);
    }
    EXPECT_EQ(seen.checkersAlive, 1);
    EXPECT_EQ(TVexorUpdate::liveInstances(), 0);
    EXPECT_EQ(ends_, 0);

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].path, QByteArray("/Update.asp?Command=Version"));
    EXPECT_EQ(connectivity.urls, QList<QByteArray>{server.url("/Update.asp?Command=Version")});
}

INSTANTIATE_TEST_SUITE_P(
    Answers, UpdateWindowVerdict,
    ::testing::Values(
        VerdictCase{"Newer", "2.0", TestHttpServer::answer(200, "2.1"), "2.1", true},
        VerdictCase{"Equal", "2.0", TestHttpServer::answer(200, "2.0"), "2.0", false},
        VerdictCase{"Older", "2.1", TestHttpServer::answer(200, "2.0"), "2.0", false},
        VerdictCase{"BytewiseNewer", "1.10", TestHttpServer::answer(200, "1.9"), "1.9", true},
        VerdictCase{"TrailingCrLf", "2.0", TestHttpServer::answer(200, "2.0\r\n"), "2.0\r\n", true},
        VerdictCase{"GbkAnswer", "2.0", TestHttpServer::answer(200, "2.0\xb0\xe6"), "2.0版", true},
        VerdictCase{"FailedQuery", "2.0", TestHttpServer::answer(404, "gone"), "0", false},
        VerdictCase{"RedirectedQuery", "2.0", TestHttpServer::answer(302, "", "Location: /v\r\n"),
                    "0", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(UpdateWindowTest, CloseButtonClosesTheWindow)
{
    TestHttpServer server([&](const Request&, Connection& c) { c.send(TestHttpServer::answer(200, "2.0")); });
    FakeConnectivity connectivity(true);
    Seen seen;
    bool closed = false;
    inspectThen(seen, [&](TFrm_Update* window) {
        clickButton1(window);
        closed = !window->isVisible();
    });
    runUpdateCommand(nullptr, settings(server, QStringLiteral("2.0")), endProgram_);
    EXPECT_EQ(seen.button, QStringLiteral("关闭"));
    EXPECT_TRUE(closed);
    EXPECT_EQ(TVexorUpdate::liveInstances(), 0);
}

TEST_F(UpdateWindowTest, UnreachableServiceShowsOnlyTheMessage)
{
    TestHttpServer server([&](const Request&, Connection& c) { c.send(TestHttpServer::answer(200, "2.1")); });
    FakeConnectivity connectivity(false);

    runUpdateCommand(nullptr, settings(server, QStringLiteral("2.0")), endProgram_);

    EXPECT_EQ(dialogs_.texts(ScriptedDialogs::Kind::Message), QStringList{kOffline});
    EXPECT_EQ(dialogs_.shown().size(), 1u);
    EXPECT_TRUE(server.requests().empty()); // no window, so no version query
    EXPECT_EQ(TVexorUpdate::liveInstances(), 0);
    // The busy cursor was up during the test and is gone afterwards.
    ASSERT_EQ(connectivity.cursors.size(), 1u);
    EXPECT_EQ(connectivity.cursors[0], Qt::BusyCursor);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(UpdateWindowTest, RealConnectivityTestFindsNoService)
{
    const QString host = QStringLiteral("127.0.0.1:%1").arg(TestHttpServer::closedPort());
    runUpdateCommand(nullptr, UpdateSettings{folder_.path(), host, QStringLiteral("2.0")},
                     endProgram_);
    EXPECT_EQ(dialogs_.texts(), QStringList{kOffline});
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(UpdateWindowTest, CursorIsNormalWhileTheWindowIsUp)
{
    TestHttpServer server([&](const Request&, Connection& c) { c.send(TestHttpServer::answer(200, "2.0")); });
    FakeConnectivity connectivity(true);
    const QCursor* during = reinterpret_cast<const QCursor*>(1);
    Seen seen;
    inspectThen(seen, [&](TFrm_Update* window) {
        during = QGuiApplication::overrideCursor();
        window->close();
    });
    runUpdateCommand(nullptr, settings(server, QStringLiteral("2.0")), endProgram_);
    EXPECT_EQ(connectivity.cursors, std::vector<Qt::CursorShape>{Qt::BusyCursor});
    EXPECT_EQ(during, nullptr);
}

TEST_F(UpdateWindowTest, TwoCommandsRunTwoQueriesWithTwoCheckers)
{
    TestHttpServer server([&](const Request&, Connection& c) { c.send(TestHttpServer::answer(200, "2.1")); });
    FakeConnectivity connectivity(true);
    for (int run = 0; run < 2; ++run) {
        Seen seen;
        inspectThen(seen, [](TFrm_Update* window) { window->close(); });
        runUpdateCommand(nullptr, settings(server, QStringLiteral("2.0")), endProgram_);
        EXPECT_TRUE(seen.shown);
        EXPECT_EQ(seen.checkersAlive, 1);
        EXPECT_EQ(TVexorUpdate::liveInstances(), 0);
    }
    EXPECT_EQ(server.requests().size(), 2u);
    EXPECT_EQ(dialogs_.texts(), (QStringList{kAnnounce, kAnnounce}));
}

TEST_F(UpdateWindowTest, SuccessfulDownloadStartsTheUpdaterAndEndsTheProgram)
{
    const QByteArray body = "#!/bin/sh\nexit 0\n";
    TestHttpServer server([&](const Request& r, Connection& c) {
        c.send(TestHttpServer::answer(200, r.path.contains("Command=Version") ? "2.1" : body));
    });
    FakeConnectivity connectivity(true);
    Seen seen;
    int aliveAfterClick = -1;
    TFrm_Update* clicked = nullptr;
    bool closedAfter = false;
    inspectThen(seen, [&](TFrm_Update* window) {
        clickButton1(window);
        aliveAfterClick = TVexorUpdate::liveInstances();
        clicked = window;
        closedAfter = !window->isVisible() && window->VexorUpdate1 == nullptr;
    });
    runUpdateCommand(nullptr, settings(server, QStringLiteral("2.0")), endProgram_);

    EXPECT_EQ(seen.button, QStringLiteral("更新"));
    EXPECT_NE(clicked, nullptr);
    EXPECT_EQ(ends_, 1);
    EXPECT_EQ(aliveAfterClick, 0);
    EXPECT_TRUE(closedAfter);
    EXPECT_EQ(TVexorUpdate::liveInstances(), 0);
    const QString updater = folder_.path() + QStringLiteral("/Update.EXE");
    ASSERT_EQ(processes_.starts.size(), 1u);
    EXPECT_EQ(processes_.starts[0].program, updater);
    EXPECT_EQ(processes_.starts[0].arguments,
              QStringList{QStringLiteral("/w:") + QString::number(QCoreApplication::applicationPid())});
    QFile file(updater);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), body);
    // The service was asked for the updater of the running version.
    EXPECT_EQ(server.requests().back().path, QByteArray("/Update.asp?Command=Download&Version=2.0"));
}

TEST_F(UpdateWindowTest, FailedDownloadLeavesTheWindowAsItWas)
{
    TestHttpServer server([&](const Request& r, Connection& c) {
        c.send(r.path.contains("Command=Version") ? TestHttpServer::answer(200, "2.1")
                                                  : TestHttpServer::answer(500, "broken"));
    });
    FakeConnectivity connectivity(true);
    dialogs_.answer(false); // no retry
    Seen seen;
    QString buttonAfter;
    bool visibleAfter = false;
    int aliveAfter = -1;
    inspectThen(seen, [&](TFrm_Update* window) {
        clickButton1(window);
        buttonAfter = window->Button1->text();
        visibleAfter = window->isVisible();
        aliveAfter = TVexorUpdate::liveInstances();
        window->close();
    });
    runUpdateCommand(nullptr, settings(server, QStringLiteral("2.0")), endProgram_);

    EXPECT_EQ(buttonAfter, QStringLiteral("更新"));
    EXPECT_TRUE(visibleAfter);
    EXPECT_EQ(aliveAfter, 1);
    EXPECT_EQ(ends_, 0);
    EXPECT_TRUE(processes_.starts.empty());
    EXPECT_EQ(TVexorUpdate::liveInstances(), 0);
    EXPECT_EQ(dialogs_.texts(), (QStringList{kAnnounce, QStringLiteral("下载失败，是否重试")}));
}

TEST_F(UpdateWindowTest, VersionBelowZeroWithAFailedQueryReportsTheError)
{
    // "0" sorts above a version starting with a blank: an update is offered, but the checker
    // knows no newest version, and the error reaches the user while the window stays open.
    TestHttpServer server([&](const Request&, Connection& c) { c.send(TestHttpServer::answer(404, "")); });
    FakeConnectivity connectivity(true);
    Seen seen;
    bool visibleAfter = false;
    inspectThen(seen, [&](TFrm_Update* window) {
        clickButton1(window);
        visibleAfter = window->isVisible();
        window->close();
    });
    runUpdateCommand(nullptr, settings(server, QStringLiteral(" 2.0")), endProgram_);

    EXPECT_EQ(seen.newest, QStringLiteral("0"));
    EXPECT_EQ(seen.button, QStringLiteral("更新"));
    EXPECT_TRUE(visibleAfter);
    EXPECT_EQ(dialogs_.texts(ScriptedDialogs::Kind::Error),
              QStringList{QStringLiteral("还没有检查最新版本")});
    EXPECT_EQ(ends_, 0);
    EXPECT_EQ(TVexorUpdate::liveInstances(), 0);
}

TEST_F(UpdateWindowTest, LayoutAndFixedFrame)
{
    TestHttpServer server([&](const Request&, Connection& c) { c.send(TestHttpServer::answer(200, "2.0")); });
    TFrm_Update window(settings(server, QStringLiteral("2.0")), endProgram_);
    EXPECT_EQ(window.size(), QSize(272, 247));
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    EXPECT_EQ(window.Panel1->geometry(), QRect(15, 14, 243, 219));
    EXPECT_EQ(window.Edit1->geometry(), QRect(95, 34, 121, 20));
    EXPECT_EQ(window.Edit2->geometry(), QRect(95, 74, 121, 20));
    EXPECT_TRUE(window.Edit1->isReadOnly());
    EXPECT_TRUE(window.Edit2->isReadOnly());
    EXPECT_EQ(window.Label1->text(), QStringLiteral("当前版本："));
    EXPECT_EQ(window.Label2->text(), QStringLiteral("最新版本："));
    EXPECT_EQ(window.Label3->geometry(), QRect(24, 119, 204, 12));
    EXPECT_EQ(window.Button1->geometry(), QRect(88, 152, 75, 25));
    EXPECT_EQ(window.font().family(), QStringLiteral("宋体"));
    EXPECT_EQ(window.font().pixelSize(), 12);
    EXPECT_EQ(TVexorUpdate::liveInstances(), 1);
}

} // namespace
} // namespace korimo::update
