#pragma once

#include <QByteArray>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace korimo::testing {

// A tiny HTTP server on 127.0.0.1 for the update tests: one thread, one connection at a time,
// every request recorded, every answer written by the test's handler.
class TestHttpServer {
public:
    struct Request {
        QByteArray path; // as on the request line
        QByteArray head; // the whole request head, request line included
        QByteArray header(const QByteArray& name) const; // value of one header line, or empty
    };

    // The handler's side of one connection.
    class Connection {
    public:
        explicit Connection(int fd, const std::atomic<bool>& stopping) : fd_(fd), stopping_(stopping) {}
        // False once the client has gone (or the server stops).
        bool send(const QByteArray& bytes);
        // Sends filler bytes in small blocks until the client goes away or the server stops.
        // Returns the bytes sent.
        std::int64_t trickle();
        // Waits until flag is set (or the server stops).
        void waitFor(const std::atomic<bool>& flag);
        bool stopping() const { return stopping_.load(); }

    private:
        int fd_;
        const std::atomic<bool>& stopping_;
    };

    using Handler = std::function<void(const Request&, Connection&)>;

    explicit TestHttpServer(Handler handler);
    ~TestHttpServer();
    TestHttpServer(const TestHttpServer&) = delete;
    TestHttpServer& operator=(const TestHttpServer&) = delete;

    std::uint16_t port() const { return port_; }
    // "127.0.0.1:<port>", as an UpdateHost.
    QByteArray host() const;
    QByteArray url(const QByteArray& path) const { return "http://" + host() + path; }
    std::vector<Request> requests() const;

    // A complete answer with a Content-Length.
    static QByteArray answer(int status, const QByteArray& body, const QByteArray& extraHeaders = {});

    // A port on which nothing listens (bound once, then released).
    static std::uint16_t closedPort();

private:
    void serve();

    Handler handler_;
    int listen_fd_ = -1;
    std::uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    std::vector<Request> requests_;
    std::thread thread_;
};

} // namespace korimo::testing
