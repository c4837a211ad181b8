#include "net/url.h"

#include "net/http_error.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace korimo::net {
namespace {

TEST(Url, TakesApartHttpUrls)
{
    struct Case {
        std::string url;
        std::string lookupHost;
        int port;
        std::string hostHeader;
        std::string target;
    };
    const std::vector<Case> cases = {
        {"http://127.0.0.1:8765/korimo/Update.asp?Command=Version", "127.0.0.1", 8765, "127.0.0.1:8765",
         "/korimo/Update.asp?Command=Version"},
        {"http://update.example.org/Update.asp", "update.example.org", 80, "update.example.org", "/Update.asp"},
        {"HTTP://Host:80/x", "Host", 80, "Host", "/x"},
        {"http://host:0080", "host", 80, "host", "/"},
        {"http://host:", "host", 80, "host", "/"},
        {"http://host", "host", 80, "host", "/"},
        {"http://host?Command=Version", "host", 80, "host", "/?Command=Version"},
        {"http://host/a?b=/c#frag", "host", 80, "host", "/a?b=/c"},
        {"http://[::1]:8080/x", "::1", 8080, "[::1]:8080", "/x"},
        {"http://h/\xb0\xe6\xb1\xbe", "h", 80, "h", "/\xb0\xe6\xb1\xbe"}, // code page 936 bytes pass unchanged
    };
    for (const auto& c : cases) {
        const Url url = parseUrl(c.url);
        EXPECT_EQ(url.lookupHost(), c.lookupHost) << c.url;
        EXPECT_EQ(url.port, c.port) << c.url;
        EXPECT_EQ(url.hostHeader(), c.hostHeader) << c.url;
        EXPECT_EQ(url.target, c.target) << c.url;
    }
}

TEST(Url, RefusesWhatCannotBeRequested)
{
    for (const std::string& url : std::vector<std::string>{"", "http://", "http:///x", "https://host/", "host/x", "http://u:p@host/",
                                  "http://host:0/", "http://host:65536/", "http://host:8a/", "http://a:1:2/",
                                  "http://[::1/", "http://host/a b", "http://host/\r\nX: y", "http://host/\x7f",
                                  std::string("http://host/\0", 13)}) {
        EXPECT_THROW(parseUrl(url), HttpError) << url;
    }
}

TEST(Url, ResolvesLocationsAgainstTheCurrentUrl)
{
    const Url base = parseUrl("http://h:81/a/b/c?q=1");
    struct Case {
        std::string reference;
        std::string result;
    };
    const std::vector<Case> cases = {
        {"http://other/x", "http://other/x"},
        {"HTTP://other:90", "http://other:90/"},
        {"//other/y?z", "http://other/y?z"},
        {"/abs", "http://h:81/abs"},
        {"/x/./y/../z", "http://h:81/x/z"},
        {"d", "http://h:81/a/b/d"},
        {"./d", "http://h:81/a/b/d"},
        {"../d?e", "http://h:81/a/d?e"},
        {"../../../../d", "http://h:81/d"},
        {"..", "http://h:81/a/"},
        {".", "http://h:81/a/b/"},
        {"?r=2", "http://h:81/a/b/c?r=2"},
        {"", "http://h:81/a/b/c?q=1"},
        {"#frag", "http://h:81/a/b/c?q=1"},
        {"d#frag", "http://h:81/a/b/d"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(resolveReference(base, c.reference), c.result) << c.reference;

    for (const std::string& bad : std::vector<std::string>{"https://h/", "ftp://h/", "/a b", "/x\r\nInjected: 1", "mailto:x@y"})
        EXPECT_THROW(resolveReference(base, bad), HttpError) << bad;
}

} // namespace
} // namespace korimo::net
