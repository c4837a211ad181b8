#pragma once

#include "net/http_error.h"

#include <QByteArray>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

namespace korimo::net {

class ResponseParser;
struct Url;

// A small HTTP/1.1 client for the update service: plain http:// URLs, GET only, one connection per
// request. The request bytes are fixed (header order included) because the service is matched
// against them; progress is reported per body so that a download window can follow every answer,
// redirects included.
class HttpClient {
public:
    // The largest block of body bytes taken between two work events.
    static constexpr std::size_t kBlockSize = 32768;
    // Requests allowed for one get(), the first one and every redirect included.
    static constexpr int kMaxRequests = 15;

    HttpClient(); // HTTP/1.1, redirects not followed, limit 15 requests per attempt
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    void setFollowRedirects(bool on);
    bool followRedirects() const;
    void setReferer(const QByteArray& referer); // "Referer" of the next request(s); empty: no header
    QByteArray referer() const;
    void setTimeouts(int connectMs, int idleReadMs); // defaults 10000 and 30000; <= 0: no limit

    // Progress events, raised on the thread running get(): work-begin(announced bytes; 0 when the
    // body runs until close; for chunked bodies each chunk's size), work(bytes of this body/chunk
    // so far, after each block of at most 32768 bytes), work-end. Raised for every body read,
    // also those of redirect and error answers; none for an empty Content-Length 0 body.
    std::function<void(std::int64_t)> onWorkBegin;
    std::function<void(std::int64_t)> onWork;
    std::function<void()> onWorkEnd;

    QByteArray get(const QByteArray& url);   // whole body, or throws HttpError
    void get(const QByteArray& url, int fd); // writes the body to an open fd at its position, or throws
    // Ends the running get() as a failure. Meant for a progress event; also safe from another
    // thread, where it wakes a get() waiting for bytes.
    void disconnect();
    int lastStatus() const; // status of the last final answer received; 0 before any

    // Cookies set by earlier answers, as sent in the "Cookie" header ("a=1; b=2"), for the host
    // of the given URL. Empty when there are none.
    QByteArray cookieHeaderFor(const QByteArray& url) const;

private:
    struct Cookie {
        std::string name;
        std::string value;
        std::string domain;  // lower case
        bool hostOnly = true; // only for exactly this host, no sub-domains
    };
    using Sink = std::function<void(const char*, std::size_t)>;

    void run(const QByteArray& url, const Sink& sink);
    // One request on its own connection. Returns true when the answer is a success (its body went
    // to the sink); sets location when the answer asks to go elsewhere.
    bool exchange(const Url& url, const Sink& sink, std::string& location, bool& redirect);
    std::string requestBytes(const Url& url) const;
    void storeCookies(const Url& url, const ResponseParser& parser);
    std::string cookieHeader(const std::string& host) const;
    int connectTo(const Url& url);
    void closeSocket();
    void checkAborted() const;

    bool follow_redirects_ = false;
    std::string referer_;
    int connect_timeout_ms_ = 10000;
    int idle_timeout_ms_ = 30000;
    int last_status_ = 0;
    std::vector<Cookie> cookies_;

    mutable std::mutex socket_mutex_;
    int socket_ = -1;
    std::atomic<bool> aborted_{false};
};

} // namespace korimo::net
