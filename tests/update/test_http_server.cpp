#include "test_http_server.h"

#include <QList>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace korimo::testing {
namespace {

int listenOnLoopback(std::uint16_t& port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw std::runtime_error("socket");
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 8) != 0) {
        ::close(fd);
        throw std::runtime_error("bind/listen");
    }
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    port = ntohs(addr.sin_port);
    return fd;
}

bool readable(int fd, int ms)
{
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, ms) > 0;
}

} // namespace

QByteArray TestHttpServer::Request::header(const QByteArray& name) const
{
    const QList<QByteArray> lines = head.split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).compare(name, Qt::CaseInsensitive) == 0)
            return line.mid(colon + 1).trimmed();
    }
    return {};
}

bool TestHttpServer::Connection::send(const QByteArray& bytes)
{
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        if (stopping_)
            return false;
        const ssize_t n = ::send(fd_, bytes.constData() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        sent += n;
    }
    return true;
}

std::int64_t TestHttpServer::Connection::trickle()
{
    const QByteArray block(1024, 'x');
    std::int64_t total = 0;
    while (!stopping_ && send(block)) {
        total += block.size();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return total;
}

void TestHttpServer::Connection::waitFor(const std::atomic<bool>& flag)
{
    while (!flag && !stopping_)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

TestHttpServer::TestHttpServer(Handler handler)
    : handler_(std::move(handler))
{
    listen_fd_ = listenOnLoopback(port_);
    thread_ = std::thread([this] { serve(); });
}

TestHttpServer::~TestHttpServer()
{
    stopping_ = true;
    thread_.join();
    ::close(listen_fd_);
}

QByteArray TestHttpServer::host() const
{
    return "127.0.0.1:" + QByteArray::number(port_);
}

std::vector<TestHttpServer::Request> TestHttpServer::requests() const
{
    std::lock_guard lock(mutex_);
    return requests_;
}

QByteArray TestHttpServer::answer(int status, const QByteArray& body, const QByteArray& extraHeaders)
{
    return "HTTP/1.1 " + QByteArray::number(status) + " Status\r\nContent-Length: "
        + QByteArray::number(body.size()) + "\r\n" + extraHeaders + "\r\n" + body;
}

std::uint16_t TestHttpServer::closedPort()
{
    std::uint16_t port = 0;
    ::close(listenOnLoopback(port));
    return port;
}

void TestHttpServer::serve()
{
    while (!stopping_) {
        if (!readable(listen_fd_, 10))
            continue;
        const int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        QByteArray head;
        while (!stopping_ && !head.contains("\r\n\r\n")) {
            if (!readable(fd, 10))
                continue;
            char buffer[4096];
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            head.append(buffer, n);
        }
        if (head.contains("\r\n\r\n")) {
            Request request;
            request.head = head.left(head.indexOf("\r\n\r\n") + 2);
            const QList<QByteArray> parts = request.head.left(request.head.indexOf("\r\n")).split(' ');
            request.path = parts.size() >= 2 ? parts[1] : QByteArray();
            {
                std::lock_guard lock(mutex_);
                requests_.push_back(request);
            }
            Connection connection(fd, stopping_);
            handler_(request, connection);
        }
        ::shutdown(fd, SHUT_RDWR);
        ::close(fd);
    }
}

} // namespace korimo::testing
