#pragma once

#include <QByteArray>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace korimo::net::testing {

// One accepted connection as a handler sees it: the request that came in, and ways to answer.
class ServerConnection {
public:
    ServerConnection(int fd, int wakeFd, std::string request, int index)
        : fd_(fd), wake_fd_(wakeFd), request_(std::move(request)), index_(index)
    {
    }
    const std::string& request() const { return request_; }
    int index() const { return index_; } // 0 for the first connection of the server
    // The request target, as in "GET <target> HTTP/1.1".
    std::string target() const;
    // Sends bytes; false once the client has gone.
    bool send(std::string_view bytes);
    // Holds the connection open, sending nothing, until the client closes it (or the server
    // stops).
    void waitForClientClose();

private:
    int fd_;
    int wake_fd_;
    std::string request_;
    int index_;
};

// A one-thread HTTP server on 127.0.0.1 and an ephemeral port. Each connection is read up to the
// end of the request head, recorded, handed to the handler and closed when the handler returns.
class TestServer {
public:
    using Handler = std::function<void(ServerConnection&)>;
    explicit TestServer(Handler handler);
    ~TestServer();
    TestServer(const TestServer&) = delete;
    TestServer& operator=(const TestServer&) = delete;

    int port() const { return port_; }
    QByteArray url(const std::string& target = "/") const;
    std::vector<std::string> requests() const;
    int requestCount() const;

    // A full answer with Content-Length.
    static std::string answer(int status, const std::string& reason, const std::string& body,
                              const std::string& extraHeaders = {});

private:
    void serve();

    Handler handler_;
    int listen_fd_ = -1;
    int wake_pipe_[2] = {-1, -1};
    int port_ = 0;
    mutable std::mutex mutex_;
    std::vector<std::string> requests_;
    std::thread thread_;
};

// A port on 127.0.0.1 where nothing listens.
int closedPort();

} // namespace korimo::net::testing
