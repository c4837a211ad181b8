#include "net/url.h"

#include "net/http_error.h"

#include <cctype>

namespace korimo::net {

namespace {

bool startsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i]))
            != std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    }
    return true;
}

[[noreturn]] void invalid(std::string_view text, const char* why)
{
    throw HttpError("Invalid URL (" + std::string(why) + "): " + std::string(text));
}

// RFC 3986, 5.2.4.
std::string removeDotSegments(std::string_view input)
{
    std::string out;
    while (!input.empty()) {
        if (input.starts_with("../")) {
            input.remove_prefix(3);
        } else if (input.starts_with("./")) {
            input.remove_prefix(2);
        } else if (input.starts_with("/./")) {
            input.remove_prefix(2);
        } else if (input == "/.") {
            input = "/";
        } else if (input.starts_with("/../") || input == "/..") {
            input = input.size() == 3 ? std::string_view("/") : input.substr(3);
            const auto slash = out.rfind('/');
            out.erase(slash == std::string::npos ? 0 : slash);
        } else if (input == "." || input == "..") {
            input = {};
        } else {
            const auto next = input.find('/', 1);
            const auto segment = input.substr(0, next);
            out.append(segment);
            input.remove_prefix(segment.size());
        }
    }
    return out;
}

// Scheme per RFC 3986: a letter, then letters, digits, "+", "-" or ".", then ":".
bool hasScheme(std::string_view reference)
{
    if (reference.empty() || !std::isalpha(static_cast<unsigned char>(reference[0])))
        return false;
    for (char c : reference) {
        if (c == ':')
            return true;
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.')
            return false;
    }
    return false;
}

} // namespace

std::string Url::lookupHost() const
{
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        return host.substr(1, host.size() - 2);
    return host;
}

std::string Url::hostHeader() const
{
    return port == 80 ? host : host + ":" + std::to_string(port);
}

std::string Url::toString() const
{
    return "http://" + hostHeader() + target;
}

Url parseUrl(std::string_view text)
{
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7f)
            invalid(text, "control character or blank");
    }
    constexpr std::string_view scheme = "http://";
    if (!startsWithNoCase(text, scheme))
        invalid(text, "only http:// is supported");
    std::string_view rest = text.substr(scheme.size());
    if (const auto hash = rest.find('#'); hash != std::string_view::npos)
        rest = rest.substr(0, hash);

    const auto authorityEnd = rest.find_first_of("/?");
    const std::string_view authority = rest.substr(0, authorityEnd);
    const std::string_view target
        = authorityEnd == std::string_view::npos ? std::string_view() : rest.substr(authorityEnd);
    if (authority.find('@') != std::string_view::npos)
        invalid(text, "user information is not supported");

    Url url;
    std::string_view portText;
    if (authority.starts_with('[')) {
        const auto close = authority.find(']');
        if (close == std::string_view::npos || close < 2)
            invalid(text, "bad IPv6 literal");
        url.host = std::string(authority.substr(0, close + 1));
        const auto after = authority.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != ':')
                invalid(text, "bad IPv6 literal");
            portText = after.substr(1);
        }
    } else {
        const auto colon = authority.find(':');
        url.host = std::string(authority.substr(0, colon));
        if (colon != std::string_view::npos) {
            portText = authority.substr(colon + 1);
            if (portText.find(':') != std::string_view::npos)
                invalid(text, "bad port");
        }
    }
    if (url.host.empty())
        invalid(text, "no host");
    if (!portText.empty()) {
        long port = 0;
        for (char c : portText) {
            if (c < '0' || c > '9')
                invalid(text, "bad port");
            port = port * 10 + (c - '0');
            if (port > 65535)
                invalid(text, "bad port");
        }
        if (port == 0)
            invalid(text, "bad port");
        url.port = static_cast<int>(port);
    }
    url.target = target.starts_with('/') ? std::string(target) : "/" + std::string(target);
    return url;
}

std::string resolveReference(const Url& base, std::string_view reference)
{
    if (const auto hash = reference.find('#'); hash != std::string_view::npos)
        reference = reference.substr(0, hash);
    if (hasScheme(reference))
        return parseUrl(reference).toString();
    if (reference.starts_with("//"))
        return parseUrl("http:" + std::string(reference)).toString();

    const auto baseQuery = base.target.find('?');
    const std::string basePath = base.target.substr(0, baseQuery);
    const auto refQuery = reference.find('?');
    const std::string_view refPath = reference.substr(0, refQuery);
    const std::string_view query
        = refQuery == std::string_view::npos ? std::string_view() : reference.substr(refQuery);

    std::string target;
    if (refPath.empty()) {
        target = query.empty() ? base.target : basePath + std::string(query);
    } else if (refPath.starts_with('/')) {
        target = removeDotSegments(refPath) + std::string(query);
    } else {
        const std::string merged = basePath.substr(0, basePath.rfind('/') + 1) + std::string(refPath);
        target = removeDotSegments(merged) + std::string(query);
    }
    if (!target.starts_with('/'))
        target.insert(0, 1, '/');
    // Checked like any URL, so a Location cannot smuggle bytes into the next request line.
    return parseUrl("http://" + base.hostHeader() + target).toString();
}

} // namespace korimo::net
