// korimo-update-service: a small reference service for the program's online update.
//
//   GET <prefix>/Update.asp?Command=Version                  -> the text of <folder>/version.txt
//   GET <prefix>/Update.asp?Command=Download&Version=<any>   -> the bytes of <folder>/Update.EXE
//
// Anything else is answered with 404. The files are read for every request, so a new release is
// published by replacing them while the service runs.
#include <arpa/inet.h>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <netinet/in.h>
#include <string>
#include <string_view>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

struct Options {
    std::string address = "127.0.0.1";
    int port = 8765;
    std::string prefix = "/korimo";
    std::string folder;
};

constexpr std::size_t kMaxRequestHead = 16384;
constexpr int kRequestTimeoutSeconds = 10;

void usage()
{
    std::cerr << "usage: korimo-update-service [--address A] [--port P] [--prefix /path] FOLDER\n"
                 "  serves FOLDER/version.txt and FOLDER/Update.EXE as\n"
                 "  http://A:P/path/Update.asp?Command=Version and ...?Command=Download&Version=...\n"
                 "  defaults: --address 127.0.0.1 --port 8765 --prefix /korimo\n";
}

bool parseOptions(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--address" && hasValue) {
            options.address = argv[++i];
        } else if (arg == "--port" && hasValue) {
            char* end = nullptr;
            const long port = std::strtol(argv[++i], &end, 10);
            if (*end != '\0' || port < 0 || port > 65535)
                return false;
            options.port = static_cast<int>(port);
        } else if (arg == "--prefix" && hasValue) {
            options.prefix = argv[++i];
            while (!options.prefix.empty() && options.prefix.back() == '/')
                options.prefix.pop_back();
            if (!options.prefix.empty() && options.prefix.front() != '/')
                options.prefix.insert(0, 1, '/');
        } else if (arg == "--folder" && hasValue) {
            options.folder = argv[++i];
        } else if (!arg.starts_with("-") && options.folder.empty()) {
            options.folder = std::string(arg);
        } else {
            return false;
        }
    }
    return !options.folder.empty();
}

bool equalsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

bool sendAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

std::string head(int status, const char* reason, const char* type, std::int64_t length)
{
    return "HTTP/1.1 " + std::to_string(status) + " " + reason + "\r\nContent-Type: " + type
           + "\r\nContent-Length: " + std::to_string(length) + "\r\nConnection: close\r\n\r\n";
}

int answerText(int fd, int status, const char* reason, const std::string& body)
{
    sendAll(fd, head(status, reason, "text/html; charset=gb2312", static_cast<std::int64_t>(body.size())) + body);
    return status;
}

bool readFile(const std::string& path, std::string& content)
{
    const int file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (file < 0)
        return false;
    char buffer[65536];
    ssize_t n;
    while ((n = ::read(file, buffer, sizeof buffer)) > 0)
        content.append(buffer, static_cast<std::size_t>(n));
    ::close(file);
    return n == 0;
}

// The version text goes out bare: a line end left by an editor would make every client think a
// newer version exists (the comparison is byte by byte).
int answerVersion(int fd, const Options& options)
{
    std::string version;
    if (!readFile(options.folder + "/version.txt", version))
        return answerText(fd, 404, "Not Found", "version.txt is missing");
    while (!version.empty() && (version.back() == '\r' || version.back() == '\n'))
        version.pop_back();
    return answerText(fd, 200, "OK", version);
}

int answerDownload(int fd, const Options& options)
{
    const std::string path = options.folder + "/Update.EXE";
    const int file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info{};
    if (file < 0 || ::fstat(file, &info) != 0 || !S_ISREG(info.st_mode)) {
        if (file >= 0)
            ::close(file);
        return answerText(fd, 404, "Not Found", "Update.EXE is missing");
    }
    // The announced length drives the client's progress display, so it is always sent.
    bool ok = sendAll(fd, head(200, "OK", "application/octet-stream", info.st_size));
    char buffer[65536];
    ssize_t n;
    while (ok && (n = ::read(file, buffer, sizeof buffer)) > 0)
        ok = sendAll(fd, std::string_view(buffer, static_cast<std::size_t>(n)));
    ::close(file);
    return 200;
}

std::vector<std::pair<std::string, std::string>> queryItems(std::string_view query)
{
    std::vector<std::pair<std::string, std::string>> items;
    while (!query.empty()) {
        const auto amp = query.find('&');
        const std::string_view item = query.substr(0, amp);
        query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
        const auto eq = item.find('=');
        items.emplace_back(std::string(item.substr(0, eq)),
                           eq == std::string_view::npos ? std::string() : std::string(item.substr(eq + 1)));
    }
    return items;
}

int answer(int fd, const std::string& request, const Options& options)
{
    const auto lineEnd = request.find("\r\n");
    const std::string_view line = std::string_view(request).substr(0, lineEnd);
    const auto first = line.find(' ');
    const auto second = line.find(' ', first + 1);
    if (first == std::string_view::npos || second == std::string_view::npos)
        return answerText(fd, 400, "Bad Request", "Bad Request");
    const std::string_view method = line.substr(0, first);
    const std::string_view target = line.substr(first + 1, second - first - 1);
    const auto question = target.find('?');
    const std::string_view path = target.substr(0, question);
    const std::string_view query = question == std::string_view::npos ? std::string_view() : target.substr(question + 1);

    // The script name is matched without case, as the original host of Update.asp did.
    if (method == "GET" && equalsNoCase(path, options.prefix + "/Update.asp")) {
        std::string command;
        bool hasVersion = false;
        for (const auto& [key, value] : queryItems(query)) {
            if (key == "Command" && command.empty())
                command = value;
            else if (key == "Version")
                hasVersion = true;
        }
        if (command == "Version")
            return answerVersion(fd, options);
        if (command == "Download" && hasVersion)
            return answerDownload(fd, options);
    }
    return answerText(fd, 404, "Not Found", "Not Found");
}

void serveConnection(int fd, const Options& options)
{
    timeval timeout{kRequestTimeoutSeconds, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos) {
        if (request.size() > kMaxRequestHead) {
            answerText(fd, 400, "Bad Request", "Bad Request");
            ::close(fd);
            return;
        }
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ::close(fd);
            return;
        }
        request.append(buffer, static_cast<std::size_t>(n));
    }
    const int status = answer(fd, request, options);
    std::fprintf(stderr, "%s -> %d\n", request.substr(0, request.find("\r\n")).c_str(), status);
    // Let the client read everything before the connection goes away.
    ::shutdown(fd, SHUT_WR);
    while (::recv(fd, buffer, sizeof buffer, 0) > 0) {
    }
    ::close(fd);
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!parseOptions(argc, argv, options)) {
        usage();
        return 2;
    }
    std::signal(SIGPIPE, SIG_IGN);

    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(options.port));
    if (::inet_pton(AF_INET, options.address.c_str(), &address.sin_addr) != 1) {
        std::cerr << "not an IPv4 address: " << options.address << "\n";
        return 2;
    }
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int yes = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
        || ::listen(listener, 64) != 0) {
        std::cerr << "cannot listen on " << options.address << ":" << options.port << ": "
                  << std::strerror(errno) << "\n";
        return 1;
    }
    socklen_t length = sizeof address;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    std::cout << "Listening on http://" << options.address << ":" << ntohs(address.sin_port)
              << options.prefix << "/Update.asp, serving " << options.folder << std::endl;

    for (;;) {
        const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            if (errno == EMFILE || errno == ENFILE) {
                // Out of descriptors: give the running transfers time to finish.
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                continue;
            }
            std::cerr << "accept: " << std::strerror(errno) << "\n";
            return 1;
        }
        std::thread(serveConnection, fd, std::cref(options)).detach();
    }
}
