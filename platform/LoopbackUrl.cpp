#include "platform/LoopbackUrl.h"

#include <arpa/inet.h>
#include <strings.h>

#include <algorithm>
#include <string>

namespace platform {
namespace {

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && strncasecmp(text.data(), prefix.data(), prefix.size()) == 0;
}

}  // namespace

bool isLoopbackHost(std::string_view host) {
    if (host.size() == 9 && startsWithIgnoringCase(host, "localhost")) return true;
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
        const std::string inner(host.substr(1, host.size() - 2));
        in6_addr v6{};
        return inet_pton(AF_INET6, inner.c_str(), &v6) == 1 && IN6_IS_ADDR_LOOPBACK(&v6);
    }
    // inet_pton takes only the four dotted decimals, none of the short or
    // numeric forms, so nothing but 127.x.y.z passes.
    const std::string text(host);
    in_addr v4{};
    return inet_pton(AF_INET, text.c_str(), &v4) == 1 && (ntohl(v4.s_addr) >> 24) == 127;
}

bool isLoopbackUrl(std::string_view url) {
    if (!std::all_of(url.begin(), url.end(), [](unsigned char c) { return c > 0x20 && c < 0x7F && c != '\\'; }))
        return false;
    std::string_view rest;
    if (startsWithIgnoringCase(url, "http://"))
        rest = url.substr(7);
    else if (startsWithIgnoringCase(url, "https://"))
        rest = url.substr(8);
    else
        return false;
    const std::string_view authority = rest.substr(0, rest.find_first_of("/?#"));
    std::string_view host = authority;
    std::string_view port;
    if (!host.empty() && host.front() == '[') {
        const auto close = host.find(']');
        if (close == std::string_view::npos) return false;
        port = host.substr(close + 1);
        host = host.substr(0, close + 1);
    } else if (const auto colon = host.find(':'); colon != std::string_view::npos) {
        port = host.substr(colon);
        host = host.substr(0, colon);
    }
    // User info ("user@host", "user:secret@host", "[::1]@host") reads as no
    // loopback host or as no port, so it fails too.
    if (!port.empty()) {
        if (port.front() != ':') return false;
        port.remove_prefix(1);
        if (port.empty() || port.size() > 5 ||
            !std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
            std::stoi(std::string(port)) > 65535)
            return false;
    }
    return isLoopbackHost(host);
}

}  // namespace platform
