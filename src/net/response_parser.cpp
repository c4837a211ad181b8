#include "net/response_parser.h"

#include "net/http_error.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace korimo::net {

namespace {

char lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return lower(x) == lower(y);
           });
}

std::string_view trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

bool isTokenChar(char c)
{
    const auto b = static_cast<unsigned char>(c);
    if (b <= 0x20 || b >= 0x7f)
        return false;
    return std::strchr("()<>@,;:\\\"/[]?={}", c) == nullptr;
}

[[noreturn]] void broken(const std::string& why)
{
    throw HttpError("Invalid HTTP answer: " + why);
}

// Content-Length: one or more equal decimal values (repeated headers or a list). Differing values
// would let two readers frame the answer differently, so they are refused.
std::int64_t parseContentLength(const std::vector<std::string>& values)
{
    std::optional<std::int64_t> result;
    for (const auto& value : values) {
        std::string_view rest = value;
        do {
            const auto comma = rest.find(',');
            const std::string_view item = trim(rest.substr(0, comma));
            rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
            if (item.empty())
                broken("bad Content-Length");
            std::int64_t n = 0;
            for (char c : item) {
                if (c < '0' || c > '9')
                    broken("bad Content-Length");
                if (n > (std::numeric_limits<std::int64_t>::max() - (c - '0')) / 10)
                    broken("Content-Length too large");
                n = n * 10 + (c - '0');
            }
            if (result && *result != n)
                broken("conflicting Content-Length");
            result = n;
        } while (!rest.empty());
    }
    return *result;
}

} // namespace

std::optional<std::string> ResponseParser::header(std::string_view name) const
{
    for (const auto& h : headers_) {
        if (equalsNoCase(h.name, name))
            return h.value;
    }
    return std::nullopt;
}

std::vector<std::string> ResponseParser::headerValues(std::string_view name) const
{
    std::vector<std::string> values;
    for (const auto& h : headers_) {
        if (equalsNoCase(h.name, name))
            values.push_back(h.value);
    }
    return values;
}

void ResponseParser::countHeadBytes(std::size_t n)
{
    head_bytes_ += n;
    if (head_bytes_ > kMaxHeadBytes)
        broken("header block too large");
}

bool ResponseParser::takeLine(const char*& data, const char* end)
{
    if (line_done_) {
        line_.clear();
        line_done_ = false;
    }
    const auto* newline = static_cast<const char*>(std::memchr(data, '\n', end - data));
    const char* stop = newline ? newline : end;
    const auto n = static_cast<std::size_t>(stop - data);
    if (line_.size() + n > kMaxLine)
        broken("line too long");
    line_.append(data, n);
    countHeadBytes(n + (newline ? 1 : 0));
    data = newline ? newline + 1 : end;
    if (!newline)
        return false;
    if (!line_.empty() && line_.back() == '\r')
        line_.pop_back();
    line_done_ = true;
    return true;
}

void ResponseParser::statusLine()
{
    // Some servers put a stray empty line after an interim answer; it carries nothing.
    if (line_.empty())
        return;
    std::string_view line = line_;
    if (line.size() < 12 || !line.starts_with("HTTP/"))
        broken("bad status line");
    const auto space = line.find(' ');
    const std::string_view version = line.substr(5, space - 5);
    if (space == std::string_view::npos || version.size() != 3 || version[0] < '0'
        || version[0] > '9' || version[1] != '.' || version[2] < '0' || version[2] > '9')
        broken("bad status line");
    std::string_view rest = line.substr(space + 1);
    while (rest.starts_with(' '))
        rest.remove_prefix(1);
    if (rest.size() < 3)
        broken("bad status line");
    int status = 0;
    for (int i = 0; i < 3; ++i) {
        if (rest[i] < '0' || rest[i] > '9')
            broken("bad status line");
        status = status * 10 + (rest[i] - '0');
    }
    if (status < 100)
        broken("bad status code");
    rest.remove_prefix(3);
    if (!rest.empty() && rest.front() != ' ' && rest.front() != '\t')
        broken("bad status line");
    status_ = status;
    reason_ = std::string(trim(rest));
    headers_.clear();
    state_ = State::HeaderLines;
}

void ResponseParser::headerLine()
{
    if (line_.empty()) {
        headDone();
        return;
    }
    if (line_.front() == ' ' || line_.front() == '\t') {
        // An obsolete folded line continues the previous value.
        if (headers_.empty())
            broken("folded line without a header");
        auto& value = headers_.back().value;
        const auto more = trim(line_);
        if (!more.empty()) {
            if (!value.empty())
                value += ' ';
            value += more;
        }
        return;
    }
    const auto colon = line_.find(':');
    if (colon == std::string::npos || colon == 0)
        broken("bad header line");
    const std::string_view name = std::string_view(line_).substr(0, colon);
    if (!std::all_of(name.begin(), name.end(), isTokenChar))
        broken("bad header name");
    if (headers_.size() >= kMaxHeaders)
        broken("too many headers");
    headers_.push_back({std::string(name), std::string(trim(std::string_view(line_).substr(colon + 1)))});
}

void ResponseParser::headDone()
{
    head_bytes_ = 0;
    if (status_ < 200 && status_ != 101) {
        // An interim answer ("100 Continue" and the like): the real one follows.
        if (++interim_count_ > kMaxInterim)
            broken("too many interim answers");
        status_ = 0;
        reason_.clear();
        headers_.clear();
        state_ = State::StatusLine;
        return;
    }
    // Decide the framing before anyone hears of the head, so that a broken one fails first.
    if (status_ == 101 || status_ == 204 || status_ == 304) {
        framing_ = Framing::None;
    } else if (const auto te = headerValues("Transfer-Encoding"); !te.empty()) {
        std::string_view last = te.back();
        if (const auto comma = last.rfind(','); comma != std::string_view::npos)
            last = last.substr(comma + 1);
        framing_ = equalsNoCase(trim(last), "chunked") ? Framing::Chunked : Framing::UntilClose;
    } else if (const auto cl = headerValues("Content-Length"); !cl.empty()) {
        framing_ = Framing::Length;
        remaining_ = parseContentLength(cl);
    } else {
        framing_ = Framing::UntilClose;
    }
    head_complete_ = true;
    if (onHead)
        onHead();
    switch (framing_) {
    case Framing::None:
        state_ = State::Done;
        break;
    case Framing::Length:
        if (remaining_ == 0) {
            state_ = State::Done;
        } else {
            state_ = State::LengthBody;
            if (onBodyBegin)
                onBodyBegin(remaining_);
        }
        break;
    case Framing::Chunked:
        state_ = State::ChunkSize;
        break;
    case Framing::UntilClose:
        state_ = State::UntilClose;
        if (onBodyBegin)
            onBodyBegin(0);
        break;
    }
}

void ResponseParser::chunkSizeLine()
{
    std::string_view line = trim(line_);
    if (const auto semicolon = line.find(';'); semicolon != std::string_view::npos)
        line = trim(line.substr(0, semicolon));
    if (line.empty())
        broken("bad chunk size");
    std::int64_t size = 0;
    for (char c : line) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            broken("bad chunk size");
        if (size > (std::numeric_limits<std::int64_t>::max() >> 4))
            broken("chunk size too large");
        size = (size << 4) | digit;
    }
    head_bytes_ = 0;
    if (size == 0) {
        state_ = State::Trailers;
        return;
    }
    remaining_ = size;
    state_ = State::ChunkData;
    if (onBodyBegin)
        onBodyBegin(size);
}

void ResponseParser::trailerLine()
{
    if (line_.empty()) {
        state_ = State::Done;
        return;
    }
    // Trailer fields are not needed by anyone here; they are checked for form only.
    if (line_.front() != ' ' && line_.front() != '\t') {
        const auto colon = line_.find(':');
        if (colon == std::string::npos || colon == 0)
            broken("bad trailer line");
    }
}

std::size_t ResponseParser::takeBody(const char* data, std::size_t available, std::int64_t& remaining)
{
    std::size_t used = 0;
    while (used < available && remaining > 0) {
        const auto piece = static_cast<std::size_t>(
            std::min<std::int64_t>({remaining, static_cast<std::int64_t>(available - used),
                                    static_cast<std::int64_t>(kMaxPiece)}));
        remaining -= static_cast<std::int64_t>(piece);
        if (onBodyData)
            onBodyData(data + used, piece);
        used += piece;
    }
    return used;
}

std::size_t ResponseParser::feed(const char* data, std::size_t size)
{
    const char* const begin = data;
    const char* const end = data + size;
    if (size > 0)
        seen_any_ = true;
    while (data < end && state_ != State::Done) {
        switch (state_) {
        case State::StatusLine:
            if (takeLine(data, end))
                statusLine();
            break;
        case State::HeaderLines:
            if (takeLine(data, end))
                headerLine();
            break;
        case State::LengthBody:
            data += takeBody(data, static_cast<std::size_t>(end - data), remaining_);
            if (remaining_ == 0) {
                state_ = State::Done;
                if (onBodyEnd)
                    onBodyEnd();
            }
            break;
        case State::ChunkSize:
            if (takeLine(data, end))
                chunkSizeLine();
            break;
        case State::ChunkData:
            data += takeBody(data, static_cast<std::size_t>(end - data), remaining_);
            if (remaining_ == 0) {
                state_ = State::ChunkDataEnd;
                head_bytes_ = 0;
                if (onBodyEnd)
                    onBodyEnd();
            }
            break;
        case State::ChunkDataEnd:
            if (takeLine(data, end)) {
                if (!line_.empty())
                    broken("chunk not followed by a line end");
                state_ = State::ChunkSize;
            }
            break;
        case State::Trailers:
            if (takeLine(data, end))
                trailerLine();
            break;
        case State::UntilClose: {
            std::int64_t unlimited = std::numeric_limits<std::int64_t>::max();
            data += takeBody(data, static_cast<std::size_t>(end - data), unlimited);
            break;
        }
        case State::Done:
            break;
        }
    }
    return static_cast<std::size_t>(data - begin);
}

void ResponseParser::finish()
{
    switch (state_) {
    case State::Done:
        return;
    case State::UntilClose:
        state_ = State::Done;
        if (onBodyEnd)
            onBodyEnd();
        return;
    case State::StatusLine:
        if (!seen_any_)
            throw HttpError("Connection closed without an answer");
        [[fallthrough]];
    default:
        throw HttpError("Connection closed before the answer was complete");
    }
}

} // namespace korimo::net
