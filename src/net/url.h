#pragma once

#include <string>
#include <string_view>

namespace korimo::net {

// An http:// URL taken apart the way a request needs it. Plain std so that it builds without Qt.
struct Url {
    std::string host;   // as written in the URL, IPv6 literals with their brackets
    int port = 80;
    std::string target; // path and query, always starting with "/", fragment removed

    // The name handed to the resolver: the host without brackets.
    std::string lookupHost() const;
    // The "Host" header value: the host, and ":port" when the port is not 80.
    std::string hostHeader() const;
    std::string toString() const;
};

// Throws HttpError for anything but a well-formed http:// URL. Bytes that would break the request
// line or smuggle header lines (controls, blanks) are refused rather than sent.
Url parseUrl(std::string_view text);

// The absolute URL a "Location" value points to, taken against the URL of the answer that carried
// it (absolute, network-path, absolute-path and relative references, with dot segments removed).
std::string resolveReference(const Url& base, std::string_view reference);

} // namespace korimo::net
