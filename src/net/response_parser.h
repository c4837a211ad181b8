#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korimo::net {

// Reads one HTTP/1.x answer from the bytes of a connection, fed in pieces of any size. Interim
// 1xx answers are skipped; the body of the final answer is handed out as it arrives, framed by
// Content-Length, by chunks or by the end of the connection. Protocol violations throw HttpError.
// Plain std and no I/O, so that it can be fuzzed on its own.
class ResponseParser {
public:
    struct Header {
        std::string name;
        std::string value;
    };
    enum class Framing { None, Length, Chunked, UntilClose };

    // Bounds on what a hostile or broken server can make the parser hold or loop over.
    static constexpr std::size_t kMaxLine = 16384;
    static constexpr std::size_t kMaxHeadBytes = 65536; // one header block, or the trailers
    static constexpr std::size_t kMaxHeaders = 256;
    static constexpr int kMaxInterim = 32;
    // The largest piece of body handed to onBodyData at once.
    static constexpr std::size_t kMaxPiece = 32768;

    // The header block of the final answer is complete; status and headers are readable.
    std::function<void()> onHead;
    // A body begins: its announced size; for chunks each chunk's size; 0 when it runs until the
    // connection closes. Not raised for an empty body with a known size (Content-Length 0,
    // 204, 304, the closing chunk).
    std::function<void(std::int64_t)> onBodyBegin;
    std::function<void(const char*, std::size_t)> onBodyData;
    std::function<void()> onBodyEnd;

    // Takes bytes from the connection; returns how many were used. Bytes after the end of the
    // answer are left unused.
    std::size_t feed(const char* data, std::size_t size);
    // The connection has ended. Completes a body that runs until the close; anything else that is
    // unfinished is an error.
    void finish();

    bool complete() const { return state_ == State::Done; }
    bool headComplete() const { return head_complete_; }
    int status() const { return status_; }
    const std::string& reason() const { return reason_; }
    const std::vector<Header>& headers() const { return headers_; }
    Framing framing() const { return framing_; }
    // The first header of that name (compared without case), or none.
    std::optional<std::string> header(std::string_view name) const;
    std::vector<std::string> headerValues(std::string_view name) const;

private:
    enum class State {
        StatusLine, HeaderLines, LengthBody, ChunkSize, ChunkData, ChunkDataEnd, Trailers,
        UntilClose, Done
    };

    // Gathers a line ended by LF (a CR before it dropped). Returns true when one is complete.
    bool takeLine(const char*& data, const char* end);
    std::size_t takeBody(const char* data, std::size_t available, std::int64_t& remaining);
    void statusLine();
    void headerLine();
    void headDone();
    void chunkSizeLine();
    void trailerLine();
    void countHeadBytes(std::size_t n);

    State state_ = State::StatusLine;
    std::string line_;
    bool line_done_ = false;
    std::size_t head_bytes_ = 0;
    int interim_count_ = 0;
    bool head_complete_ = false;
    bool seen_any_ = false;

    int status_ = 0;
    std::string reason_;
    std::vector<Header> headers_;
    Framing framing_ = Framing::None;
    std::int64_t remaining_ = 0; // of the Content-Length body or the current chunk
};

} // namespace korimo::net
