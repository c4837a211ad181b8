#include "net/response_parser.h"

#include "net/http_error.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <random>
#include <string>
#include <vector>

namespace korimo::net {
namespace {

using namespace std::string_literals;

// Everything a parser reported for one input, to compare runs fed in different pieces.
struct Outcome {
    std::vector<std::string> events;
    std::string body;
    std::string error;
    bool complete = false;
    int status = 0;
    // Which limit trips first may depend on the piece sizes, so only the failure itself counts.
    bool operator==(const Outcome& o) const
    {
        return events == o.events && body == o.body && error.empty() == o.error.empty()
               && complete == o.complete && status == o.status;
    }
};

Outcome parse(const std::string& input, const std::vector<std::size_t>& pieces, bool closeAtEnd = true)
{
    Outcome out;
    ResponseParser parser;
    parser.onHead = [&] { out.events.push_back("head " + std::to_string(parser.status())); };
    parser.onBodyBegin = [&](std::int64_t n) { out.events.push_back("begin " + std::to_string(n)); };
    parser.onBodyData = [&](const char* data, std::size_t size) {
        EXPECT_LE(size, ResponseParser::kMaxPiece);
        out.body.append(data, size);
    };
    parser.onBodyEnd = [&] { out.events.push_back("end"); };
    try {
        std::size_t at = 0;
        for (std::size_t i = 0; at < input.size() && !parser.complete(); ++i) {
            const std::size_t size = std::min(pieces.empty() ? input.size() : pieces[i % pieces.size()],
                                              input.size() - at);
            at += parser.feed(input.data() + at, size);
        }
        if (closeAtEnd)
            parser.finish();
    } catch (const HttpError& e) {
        out.error = e.what();
    }
    out.complete = parser.complete();
    out.status = parser.status();
    return out;
}

std::vector<std::string> samples()
{
    std::vector<std::string> inputs = {
        "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello",
        "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nTransfer-Encoding: gzip, chunked\r\n\r\n"
        "4;ext=1\r\nwiki\r\n5\r\npedia\r\n0\r\nExpires: x\r\n\r\n",
        "HTTP/1.0 200 OK\nX: a\n  folded\n\nuntil close",
        "HTTP/1.1 404 Not Found\r\nContent-Length: 3\r\n\r\nabcEXTRA",
        "HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\ncut",
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n",
        "HTTP/1.1 200 OK\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\nab",
        "HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999\r\n\r\n",
        "HTTP/1.1 2000 OK\r\n\r\n",
        "garbage\r\n\r\n",
        "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\n\0\1\2"s,
    };
    // The committed fuzz seeds double as regression cases for the normal build.
    const QDir corpus(QStringLiteral(KORIMO_FUZZ_CORPUS));
    for (const auto& name : corpus.entryList(QDir::Files, QDir::Name)) {
        QFile file(corpus.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            inputs.push_back(file.readAll().toStdString());
    }
    return inputs;
}

TEST(ResponseParser, ResultDoesNotDependOnHowTheBytesArrive)
{
    std::mt19937 random(7);
    for (const auto& input : samples()) {
        const Outcome whole = parse(input, {});
        EXPECT_EQ(parse(input, {1}), whole) << input;
        EXPECT_EQ(parse(input, {2, 3, 5, 7}), whole) << input;
        std::vector<std::size_t> pieces(16);
        for (auto& p : pieces)
            p = 1 + random() % 64;
        EXPECT_EQ(parse(input, pieces), whole) << input;
    }
}

TEST(ResponseParser, ReadsTheFinalAnswer)
{
    struct Case {
        std::string input;
        int status;
        std::string body;
        std::vector<std::string> events;
        bool ok;
        bool closed = true; // the connection ends after the input
    };
    const std::vector<Case> cases = {
        {"HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello", 200, "hello", {"head 200", "begin 5", "end"}, true, false},
        {"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", 200, "", {"head 200"}, true, false},
        {"HTTP/1.1 204 No Content\r\nContent-Length: 4\r\n\r\n", 204, "", {"head 204"}, true, false},
        {"HTTP/1.1 304 Not Modified\r\n\r\n", 304, "", {"head 304"}, true, false},
        {"HTTP/1.1 100 Continue\r\n\r\n\r\nHTTP/1.1 102 Processing\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nx",
         200, "x", {"head 200", "begin 1", "end"}, true, false},
        {"HTTP/1.1 200 OK\r\n\r\nabc", 200, "abc", {"head 200", "begin 0", "end"}, true},
        {"HTTP/1.1 200 OK\r\nTransfer-Encoding: identity\r\nContent-Length: 1\r\n\r\nabc", 200, "abc",
         {"head 200", "begin 0", "end"}, true},
        {"HTTP/1.1 200 OK\r\nTransfer-Encoding: Chunked\r\nContent-Length: 99\r\n\r\n1\r\na\r\n0\r\n\r\n", 200, "a",
         {"head 200", "begin 1", "end"}, true, false},
        {"HTTP/1.1 200 OK\r\ncontent-length: 2, 2\r\n\r\nab", 200, "ab", {"head 200", "begin 2", "end"}, true, false},
        {"HTTP/1.1 200\r\nContent-Length: 1\r\n\r\na", 200, "a", {"head 200", "begin 1", "end"}, true, false},
        {"HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nab", 200, "ab", {"head 200", "begin 5"}, false},
        {"HTTP/1.1 200 OK\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\nab", 200, "", {}, false},
        {"HTTP/1.1 200 OK\r\nContent-Length: +1\r\n\r\na", 200, "", {}, false},
        {"HTTP/1.1 200 OK\r\nBad Header: x\r\n\r\n", 200, "", {}, false},
        {"HTTP/1.1 200 OK\r\n folded-first\r\n\r\n", 200, "", {}, false},
        {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1\r\nab\r\n", 200, "a", {"head 200", "begin 1", "end"}, false},
        {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nfffffffffffffffff\r\n", 200, "", {"head 200"}, false},
        {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1\r\na\r\n0\r\n", 200, "a", {"head 200", "begin 1", "end"}, false},
        {"HTTP/1.1 20x OK\r\n\r\n", 0, "", {}, false},
        {"HTTP/1.1 099 Low\r\n\r\n", 0, "", {}, false},
        {"HTTP/11 200 OK\r\n\r\n", 0, "", {}, false},
        {"", 0, "", {}, false},
    };
    for (const auto& c : cases) {
        const Outcome out = parse(c.input, {}, c.closed);
        EXPECT_EQ(out.complete, c.ok) << c.input << out.error;
        EXPECT_EQ(out.error.empty(), c.ok) << c.input;
        EXPECT_EQ(out.status, c.status) << c.input;
        EXPECT_EQ(out.body, c.body) << c.input;
        EXPECT_EQ(out.events, c.events) << c.input;
    }
}

TEST(ResponseParser, KeepsHeadersAndLeavesBytesAfterTheAnswer)
{
    ResponseParser parser;
    const std::string input = "HTTP/1.1 302 Found\r\nlocation: /next\r\nSet-Cookie: a=1\r\nX-Long: one\r\n\t two\r\n"
                              "SET-COOKIE: b=2\r\nContent-Length: 0\r\n\r\nHTTP/1.1 200 OK\r\n";
    const std::size_t used = parser.feed(input.data(), input.size());
    EXPECT_TRUE(parser.complete());
    EXPECT_EQ(input.substr(used), "HTTP/1.1 200 OK\r\n");
    EXPECT_EQ(parser.reason(), "Found");
    EXPECT_EQ(parser.header("Location"), "/next");
    EXPECT_EQ(parser.header("x-long"), "one two");
    EXPECT_EQ(parser.headerValues("set-cookie"), (std::vector<std::string>{"a=1", "b=2"}));
    EXPECT_FALSE(parser.header("Missing").has_value());
}

TEST(ResponseParser, BoundsWhatAServerCanMakeItHold)
{
    const std::vector<std::string> inputs = {
        "HTTP/1.1 200 OK\r\nX: " + std::string(ResponseParser::kMaxLine, 'a') + "\r\n\r\n",
        [] {
            std::string s = "HTTP/1.1 200 OK\r\n";
            for (std::size_t i = 0; i <= ResponseParser::kMaxHeaders; ++i)
                s += "X: 1\r\n";
            return s + "\r\n";
        }(),
        [] {
            std::string s;
            for (int i = 0; i <= ResponseParser::kMaxInterim; ++i)
                s += "HTTP/1.1 100 Continue\r\n\r\n";
            return s + "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n";
        }(),
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n" + std::string(ResponseParser::kMaxHeadBytes, 'x'),
        std::string(ResponseParser::kMaxHeadBytes + 1, '\n'),
    };
    for (const auto& input : inputs) {
        const Outcome out = parse(input, {4096});
        EXPECT_FALSE(out.complete);
        EXPECT_FALSE(out.error.empty());
    }
}

TEST(ResponseParser, HandsOutLargeBodiesInBoundedPieces)
{
    const std::string body(100000, 'b');
    const std::string input = "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + body;
    ResponseParser parser;
    std::vector<std::size_t> pieces;
    parser.onBodyData = [&](const char*, std::size_t size) { pieces.push_back(size); };
    parser.feed(input.data(), input.size());
    EXPECT_TRUE(parser.complete());
    EXPECT_EQ(pieces, (std::vector<std::size_t>{32768, 32768, 32768, 1696}));
}

} // namespace
} // namespace korimo::net
