#pragma once

#include <stdexcept>

namespace korimo::net {

// Every failure of a transfer: no connection, a name that does not resolve, a lost connection, a
// time limit, an answer that breaks the protocol or an answer status that is not a success.
// what() is UTF-8. Kept free of Qt so that the response parser builds on its own (fuzzing).
struct HttpError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

} // namespace korimo::net
