// Fuzz entry for the answer reader: arbitrary bytes, fed in pieces whose size the first byte picks,
// then the end of the connection. Besides crashes, leaks and hangs it stops on a broken promise of
// the reader: body pieces outside a body or larger than allowed, a body longer than announced, a
// complete body shorter than announced, or bytes left unused before the answer is complete.
#include "net/http_error.h"
#include "net/response_parser.h"
#include "net/url.h"

#include <cstddef>
#include <cstdint>
#include <string>

using korimo::net::HttpError;
using korimo::net::ResponseParser;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::size_t piece = data[0] == 0 ? size : data[0];
    const char* input = reinterpret_cast<const char*>(data + 1);
    const std::size_t length = size - 1;

    ResponseParser parser;
    bool inBody = false;
    std::int64_t announced = 0;
    std::int64_t received = 0;
    parser.onBodyBegin = [&](std::int64_t n) {
        if (inBody || n < 0)
            __builtin_trap();
        inBody = true;
        announced = n;
        received = 0;
    };
    parser.onBodyData = [&](const char*, std::size_t n) {
        if (!inBody || n == 0 || n > ResponseParser::kMaxPiece)
            __builtin_trap();
        received += static_cast<std::int64_t>(n);
        if (announced > 0 && received > announced)
            __builtin_trap();
    };
    parser.onBodyEnd = [&] {
        if (!inBody || (announced > 0 && received != announced))
            __builtin_trap();
        inBody = false;
    };
    try {
        std::size_t at = 0;
        while (at < length && !parser.complete()) {
            const std::size_t n = piece < length - at ? piece : length - at;
            const std::size_t used = parser.feed(input + at, n);
            if (used > n || (used < n && !parser.complete()))
                __builtin_trap();
            at += used;
        }
        parser.finish();
        if (!parser.complete() || inBody)
            __builtin_trap();
        if (const auto location = parser.header("Location")) {
            const auto base = korimo::net::parseUrl("http://127.0.0.1:8765/korimo/Update.asp?Command=Version");
            korimo::net::parseUrl(korimo::net::resolveReference(base, *location));
        }
    } catch (const HttpError&) {
    }
    return 0;
}
