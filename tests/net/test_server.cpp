#include "test_server.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace korimo::net::testing {

namespace {

// Upper bound for anything the server waits for, so that a broken client fails a test instead of
// hanging it.
constexpr int kGiveUpMs = 20000;

int listenOnLoopback(int& port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw std::runtime_error("socket failed");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 16) != 0) {
        ::close(fd);
        throw std::runtime_error("bind/listen failed");
    }
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    return fd;
}

// Waits until fd is readable; false when the server is stopping or the time ran out.
bool readable(int fd, int wakeFd, int timeoutMs = kGiveUpMs)
{
    pollfd p[2] = {{fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
    for (;;) {
        const int r = ::poll(p, 2, timeoutMs);
        if (r < 0 && errno == EINTR)
            continue;
        return r > 0 && (p[1].revents == 0);
    }
}

} // namespace

std::string ServerConnection::target() const
{
    const auto first = request_.find(' ');
    const auto second = request_.find(' ', first + 1);
    return request_.substr(first + 1, second - first - 1);
}

bool ServerConnection::send(std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

void ServerConnection::waitForClientClose()
{
    char buffer[4096];
    while (readable(fd_, wake_fd_)) {
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        if (n == 0 || (n < 0 && errno != EINTR))
            return;
    }
}

TestServer::TestServer(Handler handler) : handler_(std::move(handler))
{
    listen_fd_ = listenOnLoopback(port_);
    if (::pipe(wake_pipe_) != 0)
        throw std::runtime_error("pipe failed");
    thread_ = std::thread([this] { serve(); });
}

TestServer::~TestServer()
{
    const char stop = 's';
    [[maybe_unused]] const auto written = ::write(wake_pipe_[1], &stop, 1);
    thread_.join();
    ::close(listen_fd_);
    ::close(wake_pipe_[0]);
    ::close(wake_pipe_[1]);
}

QByteArray TestServer::url(const std::string& target) const
{
    return QByteArray::fromStdString("http://127.0.0.1:" + std::to_string(port_) + target);
}

std::vector<std::string> TestServer::requests() const
{
    std::lock_guard lock(mutex_);
    return requests_;
}

int TestServer::requestCount() const
{
    std::lock_guard lock(mutex_);
    return static_cast<int>(requests_.size());
}

std::string TestServer::answer(int status, const std::string& reason, const std::string& body,
                               const std::string& extraHeaders)
{
    return "HTTP/1.1 " + std::to_string(status) + " " + reason + "\r\n" + extraHeaders
           + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

void TestServer::serve()
{
    for (int index = 0;; ++index) {
        if (!readable(listen_fd_, wake_pipe_[0], -1))
            return;
        const int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos && readable(fd, wake_pipe_[0])) {
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            request.append(buffer, static_cast<std::size_t>(n));
        }
        {
            std::lock_guard lock(mutex_);
            requests_.push_back(request);
        }
        ServerConnection connection(fd, wake_pipe_[0], request, index);
        if (request.find("\r\n\r\n") != std::string::npos)
            handler_(connection);
        ::close(fd);
    }
}

int closedPort()
{
    int port = 0;
    const int fd = listenOnLoopback(port);
    ::close(fd);
    return port;
}

} // namespace korimo::net::testing
