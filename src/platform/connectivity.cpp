#include "platform/connectivity.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <string>

namespace korimo::platform {
namespace {

struct HostPort {
    std::string host;
    std::string port;
};

// host and port of "scheme://[user@]host[:port][/path]"; a URL without a scheme is read as if it
// started with its host.
bool splitUrl(const QByteArray& url, HostPort& out)
{
    QByteArray rest = url;
    const qsizetype scheme = rest.indexOf("://");
    if (scheme >= 0)
        rest = rest.mid(scheme + 3);
    qsizetype end = rest.size();
    for (char c : {'/', '?', '#'}) {
        const qsizetype at = rest.indexOf(c);
        if (at >= 0 && at < end)
            end = at;
    }
    QByteArray authority = rest.left(end);
    const qsizetype at = authority.lastIndexOf('@');
    if (at >= 0)
        authority = authority.mid(at + 1);

    QByteArray host;
    QByteArray port = "80";
    if (authority.startsWith('[')) {
        const qsizetype close = authority.indexOf(']');
        if (close < 0)
            return false;
        host = authority.mid(1, close - 1);
        const QByteArray tail = authority.mid(close + 1);
        if (!tail.isEmpty()) {
            if (!tail.startsWith(':'))
                return false;
            port = tail.mid(1);
        }
    } else {
        const qsizetype colon = authority.lastIndexOf(':');
        host = colon >= 0 ? authority.left(colon) : authority;
        if (colon >= 0)
            port = authority.mid(colon + 1);
    }
    if (host.isEmpty())
        return false;
    bool ok = false;
    const int number = port.toInt(&ok);
    if (!ok || number <= 0 || number > 65535)
        return false;
    out.host = host.toStdString();
    out.port = std::to_string(number);
    return true;
}

bool tryConnect(const addrinfo& ai, int timeoutMs)
{
    const int fd = ::socket(ai.ai_family, ai.ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK,
                            ai.ai_protocol);
    if (fd < 0)
        return false;
    bool connected = false;
    if (::connect(fd, ai.ai_addr, ai.ai_addrlen) == 0) {
        connected = true;
    } else if (errno == EINPROGRESS) {
        pollfd p{fd, POLLOUT, 0};
        int r;
        do {
            r = ::poll(&p, 1, timeoutMs);
        } while (r < 0 && errno == EINTR);
        if (r > 0) {
            int error = 0;
            socklen_t len = sizeof error;
            connected = ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) == 0 && error == 0;
        }
    }
    ::close(fd);
    return connected;
}

class TcpConnectivity final : public Connectivity {
public:
    bool canConnect(const QByteArray& url) override { return canOpenTcpConnection(url, 3000); }
};

TcpConnectivity& realConnectivity()
{
    static TcpConnectivity instance;
    return instance;
}

Connectivity* current = nullptr;

} // namespace

Connectivity& connectivity()
{
    return current != nullptr ? *current : realConnectivity();
}

void setConnectivity(Connectivity* replacement)
{
    current = replacement;
}

bool canOpenTcpConnection(const QByteArray& url, int timeoutMs)
{
    HostPort target;
    if (!splitUrl(url, target))
        return false;
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);

    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(target.host.c_str(), target.port.c_str(), &hints, &found) != 0)
        return false;
    bool ok = false;
    for (addrinfo* ai = found; ai != nullptr && !ok; ai = ai->ai_next) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            break;
        ok = tryConnect(*ai, static_cast<int>(left.count()));
    }
    ::freeaddrinfo(found);
    return ok;
}

} // namespace korimo::platform
