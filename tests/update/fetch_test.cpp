#include "qt_printers.h"
#include "data/error.h"
#include "scripted_dialogs.h"
#include "test_http_server.h"
#include "update/fetch.h"
#include "update/version.h"
#include "update/vexor_update.h"

#include <QVariant>

#include <gtest/gtest.h>

namespace korimo::update {
namespace {

using korimo::testing::TestHttpServer;

struct FetchCase {
    const char* name;
    QByteArray answer; // raw bytes the service sends
    QByteArray result;
};

class FetchTextTest : public ::testing::TestWithParam<FetchCase> {};

TEST_P(FetchTextTest, ReturnsTheBodyOrZero)
{
    const QByteArray answer = GetParam().answer;
    TestHttpServer server([&](const TestHttpServer::Request&, TestHttpServer::Connection& c) {
        c.send(answer);
    });
    const QByteArray url = server.url("/Update.asp?Command=Version");
    EXPECT_EQ(FetchText(url), GetParam().result);

    // One request, with the Referer the service expects; a fresh client never sends cookies.
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].path, QByteArray("/Update.asp?Command=Version"));
    EXPECT_EQ(requests[0].header("Referer"), "http://" + server.host());
    EXPECT_TRUE(requests[0].header("Cookie").isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Answers, FetchTextTest,
    ::testing::Values(
        FetchCase{"Ok", TestHttpServer::answer(200, "2.1"), "2.1"},
        FetchCase{"ByteForByte", TestHttpServer::answer(200, " 2.1\r\n"), " 2.1\r\n"},
        FetchCase{"GbkBody", TestHttpServer::answer(200, "\xb0\xe6 3"), "\xb0\xe6 3"},
        FetchCase{"NoContent", "HTTP/1.1 204 No Content\r\n\r\n", ""},
        FetchCase{"EmptyOk", TestHttpServer::answer(200, ""), ""},
        FetchCase{"NotFound", TestHttpServer::answer(404, "missing"), "0"},
        FetchCase{"ServerError", TestHttpServer::answer(500, "oops"), "0"},
        FetchCase{"Redirect", TestHttpServer::answer(302, "", "Location: /elsewhere\r\n"), "0"},
        FetchCase{"OkWithLocation", TestHttpServer::answer(200, "2.1", "Location: /x\r\n"), "0"},
        FetchCase{"CutShort", "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n2.1", "0"},
        FetchCase{"Garbage", "not http at all\r\n\r\n", "0"},
        FetchCase{"CookieAnswer", TestHttpServer::answer(200, "2.2", "Set-Cookie: a=1\r\n"), "2.2"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FetchText, NoServerGivesZero)
{
    const QByteArray url = "http://127.0.0.1:" + QByteArray::number(TestHttpServer::closedPort())
        + "/Update.asp?Command=Version";
    EXPECT_EQ(FetchText(url), QByteArray("0"));
}

TEST(TVexorUpdate, StartsEmptyWithUnknownNewestVersion)
{
    TVexorUpdate checker;
    EXPECT_TRUE(checker.Version().isEmpty());
    EXPECT_TRUE(checker.VersionURL().isEmpty());
    EXPECT_TRUE(checker.DownloadURL().isEmpty());
    EXPECT_EQ(checker.NewestVersion(), QByteArray("0"));
    checker.SetVersion(QStringLiteral("2.0"));
    checker.SetVersionURL(QStringLiteral("http://h/v"));
    checker.SetDownloadURL(QStringLiteral("http://h/d?<VERSION>"));
    EXPECT_EQ(checker.property("Version").toString(), QStringLiteral("2.0"));
    EXPECT_EQ(checker.property("VersionURL").toString(), QStringLiteral("http://h/v"));
    EXPECT_EQ(checker.property("DownloadURL").toString(), QStringLiteral("http://h/d?<VERSION>"));
}

TEST(TVexorUpdate, EveryQueryOverwritesTheNewestVersion)
{
    int calls = 0;
    TestHttpServer server([&](const TestHttpServer::Request&, TestHttpServer::Connection& c) {
        ++calls;
        c.send(calls == 1 ? TestHttpServer::answer(200, "2.1")
                          : calls == 2 ? TestHttpServer::answer(404, "")
                                       : TestHttpServer::answer(200, ""));
    });
    TVexorUpdate checker;
    checker.SetVersionURL(QString::fromLatin1(server.url("/Update.asp?Command=Version")));
    EXPECT_EQ(checker.GetNewestVersion(), QByteArray("2.1"));
    EXPECT_EQ(checker.NewestVersion(), QByteArray("2.1"));
    EXPECT_EQ(checker.GetNewestVersion(), QByteArray("0"));
    EXPECT_EQ(checker.NewestVersion(), QByteArray("0"));
    EXPECT_EQ(checker.GetNewestVersion(), QByteArray(""));
    EXPECT_EQ(checker.NewestVersion(), QByteArray(""));
}

// DownloadUpdate refuses to run before a successful version query: on a fresh checker, after a
// failed query and after the service answered "0". No window opens and nothing is requested.
class DownloadUpdateRefusal : public ::testing::TestWithParam<int> {};

TEST_P(DownloadUpdateRefusal, RaisesTheNotCheckedError)
{
    const int versionStatus = GetParam();
    TestHttpServer server([&](const TestHttpServer::Request& r, TestHttpServer::Connection& c) {
        if (r.path.contains("Command=Version"))
            c.send(TestHttpServer::answer(versionStatus, "0"));
        else
            c.send(TestHttpServer::answer(200, "updater"));
    });
    korimo::testing::ScriptedDialogs dialogs;
    TVexorUpdate checker;
    checker.SetVersion(QStringLiteral("2.0"));
    checker.SetVersionURL(QString::fromLatin1(server.url("/Update.asp?Command=Version")));
    checker.SetDownloadURL(
        QString::fromLatin1(server.url("/Update.asp?Command=Download&Version=<VERSION>")));
    if (versionStatus != 0) {
        EXPECT_EQ(checker.GetNewestVersion(), QByteArray("0"));
    }

    try {
        checker.DownloadUpdate();
        FAIL() << "DownloadUpdate ran without a known newest version";
    } catch (const korimo::Error& e) {
        EXPECT_EQ(e.message(), QStringLiteral("还没有检查最新版本"));
    }
    EXPECT_TRUE(dialogs.shown().empty());
    for (const auto& request : server.requests())
        EXPECT_FALSE(request.path.contains("Command=Download"));
}

// 0: no query at all; 404: failed query; 200: the service answered "0".
INSTANTIATE_TEST_SUITE_P(Queries, DownloadUpdateRefusal, ::testing::Values(0, 404, 200));

} // namespace
} // namespace korimo::update
