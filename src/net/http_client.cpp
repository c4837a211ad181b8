#include "net/http_client.h"

#include "net/response_parser.h"
#include "net/url.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace korimo::net {

namespace {

using Clock = std::chrono::steady_clock;

std::string lowerAscii(std::string text)
{
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

std::string systemError(const char* what, int error)
{
    return std::string(what) + ": " + std::strerror(error);
}

// Waits for the socket; false when the time ran out. A limit <= 0 waits without end.
bool waitFor(int fd, short events, int timeoutMs)
{
    pollfd p{fd, events, 0};
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int wait = -1;
        if (timeoutMs > 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            wait = static_cast<int>(std::max<std::int64_t>(0, left.count()));
        }
        const int r = ::poll(&p, 1, wait);
        if (r > 0)
            return true;
        if (r == 0)
            return false;
        if (errno != EINTR)
            throw HttpError(systemError("poll", errno));
    }
}

void writeAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw HttpError(systemError("Cannot write the file", errno));
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
}

} // namespace

HttpClient::HttpClient() = default;

HttpClient::~HttpClient()
{
    closeSocket();
}

void HttpClient::setFollowRedirects(bool on)
{
    follow_redirects_ = on;
}

bool HttpClient::followRedirects() const
{
    return follow_redirects_;
}

void HttpClient::setReferer(const QByteArray& referer)
{
    referer_ = referer.toStdString();
}

QByteArray HttpClient::referer() const
{
    return QByteArray::fromStdString(referer_);
}

void HttpClient::setTimeouts(int connectMs, int idleReadMs)
{
    connect_timeout_ms_ = connectMs;
    idle_timeout_ms_ = idleReadMs;
}

int HttpClient::lastStatus() const
{
    return last_status_;
}

QByteArray HttpClient::get(const QByteArray& url)
{
    QByteArray body;
    run(url, [&body](const char* data, std::size_t size) {
        body.append(data, static_cast<qsizetype>(size));
    });
    return body;
}

void HttpClient::get(const QByteArray& url, int fd)
{
    run(url, [fd](const char* data, std::size_t size) { writeAll(fd, data, size); });
}

void HttpClient::disconnect()
{
    std::lock_guard lock(socket_mutex_);
    aborted_ = true;
    if (socket_ >= 0)
        ::shutdown(socket_, SHUT_RDWR);
}

void HttpClient::checkAborted() const
{
    if (aborted_)
        throw HttpError("Disconnected");
}

void HttpClient::closeSocket()
{
    std::lock_guard lock(socket_mutex_);
    if (socket_ >= 0) {
        ::close(socket_);
        socket_ = -1;
    }
}

void HttpClient::run(const QByteArray& url, const Sink& sink)
{
    aborted_ = false;
    last_status_ = 0;
    for (char c : referer_) {
        const auto b = static_cast<unsigned char>(c);
        if ((b < 0x20 && c != '\t') || b == 0x7f)
            throw HttpError("Invalid Referer: control character");
    }
    Url current = parseUrl(url.toStdString());
    for (int request = 1;; ++request) {
        if (request > kMaxRequests)
            throw HttpError("Too many redirects: more than " + std::to_string(kMaxRequests)
                            + " requests");
        std::string location;
        bool redirect = false;
        if (exchange(current, sink, location, redirect))
            return;
        current = parseUrl(resolveReference(current, location));
    }
}

std::string HttpClient::requestBytes(const Url& url) const
{
    std::string request = "GET " + url.target + " HTTP/1.1\r\n";
    request += "Content-Type: text/html\r\n";
    request += "Host: " + url.hostHeader() + "\r\n";
    request += "Accept: text/html, */*\r\n";
    if (!referer_.empty())
        request += "Referer: " + referer_ + "\r\n";
    request += "User-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n";
    if (const auto cookies = cookieHeader(lowerAscii(url.lookupHost())); !cookies.empty())
        request += "Cookie: " + cookies + "\r\n";
    request += "\r\n";
    return request;
}

int HttpClient::connectTo(const Url& url)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string host = url.lookupHost();
    const std::string port = std::to_string(url.port);
    if (const int rc = ::getaddrinfo(host.c_str(), port.c_str(), &hints, &found); rc != 0)
        throw HttpError("Cannot resolve host " + host + ": " + ::gai_strerror(rc));
    std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> addresses(found, &::freeaddrinfo);

    // One time limit for the whole connect, whatever the number of addresses tried.
    const auto deadline = Clock::now() + std::chrono::milliseconds(connect_timeout_ms_);
    std::string lastError = "no address";
    for (const addrinfo* a = found; a; a = a->ai_next) {
        const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) {
            lastError = systemError("socket", errno);
            continue;
        }
        {
            std::lock_guard lock(socket_mutex_);
            socket_ = fd;
        }
        int rc = ::connect(fd, a->ai_addr, a->ai_addrlen);
        if (rc < 0 && errno == EINPROGRESS) {
            int left = 0;
            if (connect_timeout_ms_ > 0) {
                left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                            deadline - Clock::now()).count());
                if (left <= 0) {
                    closeSocket();
                    throw HttpError("Connect to " + url.hostHeader() + " timed out");
                }
            }
            if (!waitFor(fd, POLLOUT, connect_timeout_ms_ > 0 ? left : 0)) {
                closeSocket();
                throw HttpError("Connect to " + url.hostHeader() + " timed out");
            }
            int error = 0;
            socklen_t length = sizeof error;
            ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length);
            rc = error == 0 ? 0 : -1;
            errno = error;
        }
        if (rc == 0) {
            checkAborted();
            return fd;
        }
        lastError = systemError("connect", errno);
        closeSocket();
        checkAborted();
    }
    throw HttpError("Cannot connect to " + url.hostHeader() + ": " + lastError);
}

bool HttpClient::exchange(const Url& url, const Sink& sink, std::string& location, bool& redirect)
{
    struct Closer {
        HttpClient* client;
        ~Closer() { client->closeSocket(); }
    } closer{this};
    const int fd = connectTo(url);

    const std::string request = requestBytes(url);
    std::size_t sent = 0;
    while (sent < request.size()) {
        const ssize_t n = ::send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (n >= 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            checkAborted();
            throw HttpError(systemError("Cannot send the request", errno));
        }
        if (!waitFor(fd, POLLOUT, idle_timeout_ms_))
            throw HttpError("Sending the request timed out");
    }

    enum class Outcome { Success, Redirect, Failure };
    Outcome outcome = Outcome::Failure;
    std::string failure;
    ResponseParser parser;
    std::int64_t received = 0;
    parser.onHead = [&] {
        last_status_ = parser.status();
        storeCookies(url, parser);
        const int status = parser.status();
        const auto target = parser.header("Location");
        const bool wantsRedirect = (status >= 300 && status < 400 && status != 304) || target;
        if (wantsRedirect && follow_redirects_ && target) {
            outcome = Outcome::Redirect;
            location = *target;
        } else if (wantsRedirect) {
            failure = "HTTP " + std::to_string(status) + " " + parser.reason()
                      + (follow_redirects_ ? " without a Location" : " (redirects are not followed)");
        } else if (status >= 200 && status < 300) {
            outcome = Outcome::Success;
        } else {
            failure = "HTTP " + std::to_string(status) + " " + parser.reason();
        }
    };
    // Every body is read with its events, also those of redirects and errors, so that the
    // progress display follows everything the connection carries; only a success keeps its bytes.
    parser.onBodyBegin = [&](std::int64_t announced) {
        received = 0;
        if (onWorkBegin)
            onWorkBegin(announced);
        checkAborted();
    };
    parser.onBodyData = [&](const char* data, std::size_t size) {
        if (outcome == Outcome::Success)
            sink(data, size);
        received += static_cast<std::int64_t>(size);
        if (onWork)
            onWork(received);
        checkAborted();
    };
    parser.onBodyEnd = [&] {
        if (onWorkEnd)
            onWorkEnd();
        checkAborted();
    };

    char buffer[kBlockSize];
    while (!parser.complete()) {
        if (!waitFor(fd, POLLIN, idle_timeout_ms_)) {
            checkAborted();
            throw HttpError("No answer from " + url.hostHeader() + " in time");
        }
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        checkAborted();
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)
                continue;
            throw HttpError(systemError("Connection lost", errno));
        }
        if (n == 0)
            parser.finish();
        else
            parser.feed(buffer, static_cast<std::size_t>(n));
    }
    checkAborted();

    switch (outcome) {
    case Outcome::Success:
        return true;
    case Outcome::Redirect:
        redirect = true;
        return false;
    case Outcome::Failure:
        break;
    }
    throw HttpError(failure);
}

// Cookies are kept by name and domain for the client's life. Path and expiry dates are not
// looked at: the client lives for one download at most; an answer can still remove a cookie with
// Max-Age=0.
void HttpClient::storeCookies(const Url& url, const ResponseParser& parser)
{
    const std::string host = lowerAscii(url.lookupHost());
    for (const auto& line : parser.headerValues("Set-Cookie")) {
        std::string_view rest = line;
        const auto semicolon = rest.find(';');
        const std::string_view pair = rest.substr(0, semicolon);
        rest = semicolon == std::string_view::npos ? std::string_view() : rest.substr(semicolon + 1);
        const auto equals = pair.find('=');
        if (equals == std::string_view::npos)
            continue;
        Cookie cookie;
        cookie.name = std::string(trimmed(pair.substr(0, equals)));
        cookie.value = std::string(trimmed(pair.substr(equals + 1)));
        if (cookie.name.empty())
            continue;
        cookie.domain = host;
        bool remove = false;
        bool foreign = false;
        while (!rest.empty()) {
            const auto next = rest.find(';');
            const std::string_view attribute = trimmed(rest.substr(0, next));
            rest = next == std::string_view::npos ? std::string_view() : rest.substr(next + 1);
            const auto eq = attribute.find('=');
            const std::string name = lowerAscii(std::string(trimmed(attribute.substr(0, eq))));
            const std::string_view value
                = eq == std::string_view::npos ? std::string_view() : trimmed(attribute.substr(eq + 1));
            if (name == "max-age") {
                const std::string text(value);
                remove = !text.empty() && (text[0] == '-' || text.find_first_not_of('0') == std::string::npos);
            } else if (name == "domain" && !value.empty()) {
                std::string domain = lowerAscii(std::string(value));
                if (domain.front() == '.')
                    domain.erase(0, 1);
                // A server may widen a cookie to its own parent domain, never to another one.
                if (host == domain || (host.size() > domain.size() && host.ends_with("." + domain))) {
                    cookie.domain = domain;
                    cookie.hostOnly = false;
                } else {
                    foreign = true;
                }
            }
        }
        if (foreign)
            continue;
        const auto same = std::find_if(cookies_.begin(), cookies_.end(), [&](const Cookie& c) {
            return c.name == cookie.name && c.domain == cookie.domain;
        });
        if (remove) {
            if (same != cookies_.end())
                cookies_.erase(same);
        } else if (same != cookies_.end()) {
            *same = cookie;
        } else {
            cookies_.push_back(cookie);
        }
    }
}

std::string HttpClient::cookieHeader(const std::string& host) const
{
    std::string header;
    for (const auto& c : cookies_) {
        const bool matches = c.hostOnly ? host == c.domain
                                        : host == c.domain || host.ends_with("." + c.domain);
        if (!matches)
            continue;
        if (!header.empty())
            header += "; ";
        header += c.name + "=" + c.value;
    }
    return header;
}

QByteArray HttpClient::cookieHeaderFor(const QByteArray& url) const
{
    return QByteArray::fromStdString(cookieHeader(lowerAscii(parseUrl(url.toStdString()).lookupHost())));
}

} // namespace korimo::net
