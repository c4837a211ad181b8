#include "net/http_client.h"

#include "test_server.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace korimo::net {
namespace {

using namespace std::string_literals;
using testing::ServerConnection;
using testing::TestServer;

constexpr const char* kUserAgent = "User-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n";

// The progress events of a client, in the order raised.
struct EventLog {
    std::vector<std::string> events;
    void attach(HttpClient& client)
    {
        client.onWorkBegin = [this](std::int64_t n) { events.push_back("begin " + std::to_string(n)); };
        client.onWork = [this](std::int64_t n) { events.push_back("work " + std::to_string(n)); };
        client.onWorkEnd = [this] { events.push_back("end"); };
    }
};

// The work counts raised between one begin and its end must grow by at most one block each time
// and finish at the announced size (when one was announced).
void expectWellFormedBodies(const std::vector<std::string>& events)
{
    std::int64_t announced = -1;
    std::int64_t last = 0;
    for (const auto& e : events) {
        if (e.starts_with("begin ")) {
            ASSERT_EQ(announced, -1) << "begin inside a body";
            announced = std::stoll(e.substr(6));
            last = 0;
        } else if (e.starts_with("work ")) {
            ASSERT_NE(announced, -1) << "work outside a body";
            const auto n = std::stoll(e.substr(5));
            EXPECT_GT(n, last);
            EXPECT_LE(n - last, static_cast<std::int64_t>(HttpClient::kBlockSize));
            last = n;
        } else {
            ASSERT_NE(announced, -1) << "end outside a body";
            if (announced > 0) {
                EXPECT_EQ(last, announced);
            }
            announced = -1;
        }
    }
    EXPECT_EQ(announced, -1) << "body without end";
}

std::string pattern(std::size_t size)
{
    std::string s(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        s[i] = static_cast<char>('a' + (i * 7 + i / 251) % 26);
    return s;
}

std::string readFile(const std::string& path)
{
    std::string content;
    const int fd = ::open(path.c_str(), O_RDONLY);
    char buffer[8192];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
        content.append(buffer, static_cast<std::size_t>(n));
    ::close(fd);
    return content;
}

struct TempFile {
    std::string path = "/tmp/korimo-net-XXXXXX";
    int fd;
    TempFile() { fd = ::mkstemp(path.data()); }
    ~TempFile()
    {
        ::close(fd);
        ::unlink(path.c_str());
    }
};

TEST(HttpClientRequest, SendsExactRequestBytes)
{
    struct Case {
        std::string target;   // appended to http://127.0.0.1:port
        std::string referer;
        std::string requestLine;
        bool refererLine;
    };
    const std::vector<Case> cases = {
        {"/korimo/Update.asp?Command=Version", "http://127.0.0.1/korimo",
         "GET /korimo/Update.asp?Command=Version HTTP/1.1\r\n", true},
        {"", "http:/", "GET / HTTP/1.1\r\n", true},
        {"?Command=Version", "x", "GET /?Command=Version HTTP/1.1\r\n", true},
        {"/Update.asp?Command=Download&Version=2.0#part", "", "GET /Update.asp?Command=Download&Version=2.0 HTTP/1.1\r\n", false},
    };
    for (const auto& c : cases) {
        TestServer server([](ServerConnection& s) { s.send(TestServer::answer(200, "OK", "1")); });
        HttpClient client;
        client.setReferer(QByteArray::fromStdString(c.referer));
        EXPECT_EQ(client.get(server.url(c.target)), "1");
        const std::string host = "Host: 127.0.0.1:" + std::to_string(server.port()) + "\r\n";
        const std::string expected = c.requestLine + "Content-Type: text/html\r\n" + host
                                     + "Accept: text/html, */*\r\n"
                                     + (c.refererLine ? "Referer: " + c.referer + "\r\n" : "")
                                     + kUserAgent + "\r\n";
        ASSERT_EQ(server.requestCount(), 1);
        EXPECT_EQ(server.requests()[0], expected) << c.target;
    }
}

TEST(HttpClientRequest, SendsCookiesSetByEarlierAnswersForTheClientsLife)
{
    TestServer server([](ServerConnection& s) {
        if (s.index() == 0)
            s.send("HTTP/1.1 302 Found\r\nSet-Cookie: session=abc; Path=/; HttpOnly\r\n"
                   "Set-Cookie: lang=zh\r\nLocation: /next\r\nContent-Length: 0\r\n\r\n");
        else if (s.index() == 1)
            s.send("HTTP/1.1 200 OK\r\nSet-Cookie: lang=cn\r\nSet-Cookie: gone=1; Max-Age=0\r\n"
                   "Set-Cookie: other=1; Domain=example.com\r\nContent-Length: 2\r\n\r\nok");
        else
            s.send(TestServer::answer(200, "OK", "again"));
    });
    HttpClient client;
    client.setFollowRedirects(true);
    client.setReferer("http://127.0.0.1");
    EXPECT_EQ(client.get(server.url("/first")), "ok");
    EXPECT_EQ(client.get(server.url("/second")), "again");

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].find("Cookie:"), std::string::npos);
    EXPECT_TRUE(requests[1].ends_with(std::string(kUserAgent) + "Cookie: session=abc; lang=zh\r\n\r\n"))
        << requests[1];
    // A cookie set again keeps its place with the new value; one for another domain is refused.
    EXPECT_TRUE(requests[2].ends_with(std::string(kUserAgent) + "Cookie: session=abc; lang=cn\r\n\r\n"))
        << requests[2];

    HttpClient fresh;
    TestServer other([](ServerConnection& s) { s.send(TestServer::answer(200, "OK", "")); });
    fresh.get(other.url());
    EXPECT_EQ(other.requests()[0].find("Cookie:"), std::string::npos);
}

TEST(HttpClientRequest, RefusesUnsafeOrUnsupportedInputWithoutSending)
{
    TestServer server([](ServerConnection& s) { s.send(TestServer::answer(200, "OK", "x")); });
    const std::vector<QByteArray> urls = {
        "https://127.0.0.1/",
        "ftp://127.0.0.1/",
        "127.0.0.1/Update.asp",
        server.url("/a b"),
        server.url("/a\r\nX-Injected: 1"),
        "http://user@127.0.0.1/",
        "http://127.0.0.1:99999/",
        "http://:80/",
    };
    for (const auto& url : urls) {
        HttpClient client;
        EXPECT_THROW(client.get(url), HttpError) << url.toStdString();
    }
    HttpClient client;
    client.setReferer("http://x\r\nX-Injected: 1");
    EXPECT_THROW(client.get(server.url()), HttpError);
    EXPECT_EQ(server.requestCount(), 0);
}

struct AnswerCase {
    const char* name;
    std::string answer;
    bool follow;
    bool ok;
    std::string body;
    int status;
};

void PrintTo(const AnswerCase& c, std::ostream* os)
{
    *os << c.name;
}

class HttpClientAnswer : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(HttpClientAnswer, SucceedsOrFailsByTheAnswer)
{
    const auto& c = GetParam();
    TestServer server([&c](ServerConnection& s) {
        if (s.target() == "/elsewhere")
            s.send(TestServer::answer(200, "OK", "moved here"));
        else
            s.send(c.answer);
    });
    HttpClient client;
    client.setFollowRedirects(c.follow);
    client.setTimeouts(5000, 5000);
    if (c.ok) {
        EXPECT_EQ(client.get(server.url("/start")).toStdString(), c.body);
    } else {
        EXPECT_THROW(client.get(server.url("/start")), HttpError);
    }
    EXPECT_EQ(client.lastStatus(), c.status);
}

INSTANTIATE_TEST_SUITE_P(
    Table, HttpClientAnswer,
    ::testing::Values(
        AnswerCase{"ok", TestServer::answer(200, "OK", "2.0"), false, true, "2.0", 200},
        AnswerCase{"created", TestServer::answer(201, "Created", "x"), false, true, "x", 201},
        AnswerCase{"noContent", "HTTP/1.1 204 No Content\r\n\r\n", false, true, "", 204},
        AnswerCase{"emptyOk", TestServer::answer(200, "OK", ""), false, true, "", 200},
        AnswerCase{"http10", "HTTP/1.0 200 OK\r\nContent-Length: 3\r\n\r\nabc", false, true, "abc", 200},
        AnswerCase{"untilClose", "HTTP/1.1 200 OK\r\n\r\nrest of it", false, true, "rest of it", 200},
        AnswerCase{"chunked", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\nA;x=y\r\n0123456789\r\n0\r\nX-T: 1\r\n\r\n",
                   false, true, "abc0123456789", 200},
        AnswerCase{"continue", "HTTP/1.1 100 Continue\r\n\r\n" + TestServer::answer(200, "OK", "after"), false, true, "after", 200},
        AnswerCase{"bareLineEnds", "HTTP/1.1 200 OK\nContent-Length: 2\n\nhi", false, true, "hi", 200},
        AnswerCase{"okWithLocation", TestServer::answer(200, "OK", "x", "Location: /elsewhere\r\n"), false, false, "", 200},
        AnswerCase{"okWithLocationFollowed", TestServer::answer(200, "OK", "x", "Location: /elsewhere\r\n"), true, true, "moved here", 200},
        AnswerCase{"found", TestServer::answer(302, "Found", "", "Location: /elsewhere\r\n"), false, false, "", 302},
        AnswerCase{"foundFollowed", TestServer::answer(302, "Found", "moved", "Location: /elsewhere\r\n"), true, true, "moved here", 200},
        AnswerCase{"movedNoLocation", TestServer::answer(301, "Moved", ""), true, false, "", 301},
        AnswerCase{"multipleChoices", TestServer::answer(300, "Multiple Choices", ""), false, false, "", 300},
        AnswerCase{"notModified", "HTTP/1.1 304 Not Modified\r\n\r\n", true, false, "", 304},
        AnswerCase{"notModifiedWithLocation", "HTTP/1.1 304 Not Modified\r\nLocation: /elsewhere\r\n\r\n", true, true, "moved here", 200},
        AnswerCase{"unauthorized", TestServer::answer(401, "Unauthorized", "who?"), false, false, "", 401},
        AnswerCase{"notFound", TestServer::answer(404, "Not Found", "none"), true, false, "", 404},
        AnswerCase{"serverError", TestServer::answer(500, "Internal Server Error", ""), false, false, "", 500},
        AnswerCase{"switching", "HTTP/1.1 101 Switching Protocols\r\n\r\n", false, false, "", 101},
        AnswerCase{"redirectToHttps", TestServer::answer(302, "Found", "", "Location: https://127.0.0.1/\r\n"), true, false, "", 302},
        AnswerCase{"garbage", "SSH-2.0-OpenSSH\r\n\r\n", false, false, "", 0},
        AnswerCase{"noAnswer", "", false, false, "", 0},
        AnswerCase{"headCutShort", "HTTP/1.1 200 OK\r\nContent-Le", false, false, "", 0},
        AnswerCase{"bodyCutShort", "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n12345", false, false, "", 200},
        AnswerCase{"chunkCutShort", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nab", false, false, "", 200},
        AnswerCase{"lastChunkMissing", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nab\r\n", false, false, "", 200},
        AnswerCase{"conflictingLengths", "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nContent-Length: 3\r\n\r\nabc", false, false, "", 0},
        AnswerCase{"badLength", "HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\n", false, false, "", 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HttpClientEvents, FollowEveryBodyInBlocks)
{
    const std::string big = pattern(100000);
    struct Case {
        const char* name;
        std::string answer;
        std::vector<std::string> events; // empty: only checked for form
        std::size_t bodies;
    };
    const std::vector<Case> cases = {
        {"contentLength", TestServer::answer(200, "OK", big), {}, 1},
        {"small", TestServer::answer(200, "OK", "abc"), {"begin 3", "work 3", "end"}, 1},
        {"emptyLength", TestServer::answer(200, "OK", ""), {}, 0},
        {"noContent", "HTTP/1.1 204 No Content\r\n\r\n", {}, 0},
        {"untilCloseEmpty", "HTTP/1.1 200 OK\r\n\r\n", {"begin 0", "end"}, 1},
        {"untilClose", "HTTP/1.1 200 OK\r\n\r\n" + big, {}, 1},
        {"chunks", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nabcde\r\n"
                   + std::string("11170\r\n") + pattern(0x11170) + "\r\n1\r\nz\r\n0\r\n\r\n", {}, 3},
    };
    for (const auto& c : cases) {
        TestServer server([&c](ServerConnection& s) { s.send(c.answer); });
        HttpClient client;
        EventLog log;
        log.attach(client);
        client.get(server.url());
        SCOPED_TRACE(c.name);
        expectWellFormedBodies(log.events);
        if (!c.events.empty()) {
            EXPECT_EQ(log.events, c.events);
        }
        EXPECT_EQ(static_cast<std::size_t>(std::count(log.events.begin(), log.events.end(), "end")), c.bodies);
    }
}

TEST(HttpClientEvents, EachChunkOpensItsOwnBody)
{
    const std::string second = pattern(40000);
    TestServer server([&](ServerConnection& s) {
        s.send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nabcde\r\n9c40\r\n" + second
               + "\r\n3\r\nxyz\r\n0\r\n\r\n");
    });
    HttpClient client;
    EventLog log;
    log.attach(client);
    EXPECT_EQ(client.get(server.url()).toStdString(), "abcde" + second + "xyz");
    expectWellFormedBodies(log.events);
    const std::vector<std::string> begins = [&] {
        std::vector<std::string> b;
        for (const auto& e : log.events)
            if (e.starts_with("begin"))
                b.push_back(e);
        return b;
    }();
    EXPECT_EQ(begins, (std::vector<std::string>{"begin 5", "begin 40000", "begin 3"}));
    EXPECT_EQ(log.events.front(), "begin 5");
    EXPECT_EQ(log.events.back(), "end");
}

TEST(HttpClientEvents, RedirectAndErrorBodiesAreReadWithTheirEventsAndDiscarded)
{
    TestServer server([](ServerConnection& s) {
        if (s.target() == "/start")
            s.send(TestServer::answer(302, "Found", "moved", "Location: /final\r\n"));
        else if (s.target() == "/final")
            s.send(TestServer::answer(200, "OK", "ok"));
        else
            s.send(TestServer::answer(404, "Not Found", "missing"));
    });
    HttpClient client;
    client.setFollowRedirects(true);
    EventLog log;
    log.attach(client);
    EXPECT_EQ(client.get(server.url("/start")), "ok");
    EXPECT_EQ(log.events, (std::vector<std::string>{"begin 5", "work 5", "end", "begin 2", "work 2", "end"}));

    log.events.clear();
    EXPECT_THROW(client.get(server.url("/nothing")), HttpError);
    EXPECT_EQ(log.events, (std::vector<std::string>{"begin 7", "work 7", "end"}));
}

// Serves /r/1 ... /r/<last>, each but the last redirecting to the next.
void redirectChain(ServerConnection& s, int last, bool relative)
{
    const int n = std::stoi(s.target().substr(3));
    if (n >= last)
        s.send(TestServer::answer(200, "OK", "end of chain"));
    else
        s.send(TestServer::answer(302, "Found", "", "Location: " + std::string(relative ? "" : "/r/")
                                                        + std::to_string(n + 1) + "\r\n"));
}

TEST(HttpClientRedirects, FifteenRequestsAreAllowedNotSixteen)
{
    struct Case {
        int last;
        bool relative;
        bool ok;
    };
    for (const auto& c : {Case{15, false, true}, Case{15, true, true}, Case{16, false, false}}) {
        TestServer server([&c](ServerConnection& s) { redirectChain(s, c.last, c.relative); });
        HttpClient client;
        client.setFollowRedirects(true);
        if (c.ok) {
            EXPECT_EQ(client.get(server.url("/r/1")), "end of chain");
        } else {
            EXPECT_THROW(client.get(server.url("/r/1")), HttpError);
        }
        // The 16th request is never sent.
        EXPECT_EQ(server.requestCount(), 15);
        EXPECT_EQ(server.requests().back().substr(0, 14), "GET /r/15 HTTP");
    }
}

TEST(HttpClientRedirects, RelativeLocationIsTakenAgainstTheCurrentUrl)
{
    std::atomic<int> port{0};
    TestServer server([&port](ServerConnection& s) {
        if (s.index() == 0)
            s.send(TestServer::answer(301, "Moved", "", "Location: ../files/Update.EXE?v=2#x\r\n"));
        else if (s.index() == 1)
            s.send(TestServer::answer(302, "Found", "",
                                      "Location: //127.0.0.1:" + std::to_string(port) + "/abs\r\n"));
        else if (s.index() == 2)
            s.send(TestServer::answer(302, "Found", "", "Location: ?only=query\r\n"));
        else
            s.send(TestServer::answer(200, "OK", "done"));
    });
    port = server.port();
    HttpClient client;
    client.setFollowRedirects(true);
    EXPECT_EQ(client.get(server.url("/korimo/app/Update.asp?Command=Download")), "done");
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_TRUE(requests[1].starts_with("GET /korimo/files/Update.EXE?v=2 HTTP/1.1\r\n")) << requests[1];
    EXPECT_TRUE(requests[2].starts_with("GET /abs HTTP/1.1\r\n")) << requests[2];
    EXPECT_TRUE(requests[3].starts_with("GET /abs?only=query HTTP/1.1\r\n")) << requests[3];
}

TEST(HttpClientFailures, SilentServerRunsIntoTheTimeLimit)
{
    for (bool afterHead : {false, true}) {
        TestServer server([afterHead](ServerConnection& s) {
            if (afterHead)
                s.send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nfirst bytes");
            s.waitForClientClose();
        });
        HttpClient client;
        client.setTimeouts(5000, 200);
        EXPECT_THROW(client.get(server.url()), HttpError);
    }
}

TEST(HttpClientFailures, ConnectionRefused)
{
    HttpClient client;
    EXPECT_THROW(client.get(QByteArray("http://127.0.0.1:") + QByteArray::number(testing::closedPort()) + "/"),
                 HttpError);
    EXPECT_EQ(client.lastStatus(), 0);
}

TEST(HttpClientDisconnect, FromInsideWorkFailsTheRunningGet)
{
    const std::string body = pattern(1 << 20);
    TestServer server([&](ServerConnection& s) { s.send(TestServer::answer(200, "OK", body)); });
    HttpClient client;
    int works = 0;
    int ends = 0;
    client.onWork = [&](std::int64_t) {
        ++works;
        client.disconnect();
    };
    client.onWorkEnd = [&] { ++ends; };
    EXPECT_THROW(client.get(server.url()), HttpError);
    EXPECT_EQ(works, 1);
    EXPECT_EQ(ends, 0);

    // The client stays usable: the next get starts afresh.
    client.onWork = nullptr;
    TestServer next([](ServerConnection& s) { s.send(TestServer::answer(200, "OK", "fine")); });
    EXPECT_EQ(client.get(next.url()), "fine");
}

TEST(HttpClientFile, HoldsExactlyTheBody)
{
    const std::string body = pattern(200000);
    TestServer server([&](ServerConnection& s) {
        if (s.target() == "/start")
            s.send(TestServer::answer(302, "Found", "redirect body", "Location: /Update.EXE\r\n"));
        else if (s.target() == "/chunked")
            s.send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n4\r\nMZ\x90\x00\r\n0\r\n\r\n"s);
        else if (s.target() == "/short")
            s.send("HTTP/1.1 200 OK\r\nContent-Length: 300000\r\n\r\n" + body);
        else
            s.send(TestServer::answer(200, "OK", body));
    });
    HttpClient client;
    client.setFollowRedirects(true);
    {
        TempFile file;
        client.get(server.url("/start"), file.fd);
        EXPECT_EQ(readFile(file.path), body);
    }
    {
        // Written where the file position stands.
        TempFile file;
        ASSERT_EQ(::write(file.fd, "head:", 5), 5);
        client.get(server.url("/Update.EXE"), file.fd);
        EXPECT_EQ(readFile(file.path), "head:" + body);
    }
    {
        TempFile file;
        client.get(server.url("/chunked"), file.fd);
        EXPECT_EQ(readFile(file.path), std::string("MZ\x90\x00", 4));
    }
    {
        TempFile file;
        EXPECT_THROW(client.get(server.url("/short"), file.fd), HttpError);
    }
}

TEST(HttpClientFile, WriteErrorsFailTheGet)
{
    TestServer server([](ServerConnection& s) { s.send(TestServer::answer(200, "OK", "data")); });
    TempFile file;
    const int readOnly = ::open(file.path.c_str(), O_RDONLY);
    HttpClient client;
    EXPECT_THROW(client.get(server.url(), readOnly), HttpError);
    ::close(readOnly);
}

} // namespace
} // namespace korimo::net
