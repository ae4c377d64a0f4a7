#include "Telemetry/TelemetryConfig.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace telemetry {
namespace {

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
           });
}

}  // namespace

std::optional<std::string> TelemetryConfig::normalizedHost(std::string_view host) {
    std::size_t schemeEnd = 0;
    if (startsWithIgnoringCase(host, "https://")) {
        schemeEnd = 8;
    } else if (startsWithIgnoringCase(host, "http://")) {
        schemeEnd = 7;
    } else {
        return std::nullopt;
    }
    // "/batch" is appended to it, so a query or fragment cannot stay, and no
    // byte may need escaping.
    for (const char c : host) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u >= 0x7F || c == '?' || c == '#' || c == '\\') return std::nullopt;
    }
    const std::string_view rest = host.substr(schemeEnd);
    const std::string_view authority = rest.substr(0, rest.find('/'));
    // The host name may carry user info and a port; it must not be empty.
    const std::size_t at = authority.rfind('@');
    const std::string_view hostPort = at == std::string_view::npos ? authority : authority.substr(at + 1);
    if (hostPort.empty() || hostPort.front() == ':') return std::nullopt;
    std::string normalized(host);
    while (normalized.size() > schemeEnd + authority.size() && normalized.back() == '/') normalized.pop_back();
    return normalized;
}

TelemetryConfig::TelemetryConfig(std::string key, std::string givenHost)
    : apiKey(std::move(key)), host(normalizedHost(givenHost).value_or(kDefaultHost)) {}

}  // namespace telemetry
