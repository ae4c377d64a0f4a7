#include "core/ProviderWire.h"

#include "core/JsonError.h"
#include "platform/Unicode.h"

namespace core {

std::string dumpRequestJson(const nlohmann::json& body) {
    return body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

nlohmann::json parseReplyJson(std::string_view body) {
    try {
        return nlohmann::json::parse(body);
    } catch (const nlohmann::json::parse_error& e) {
        // The parser refuses invalid UTF-8 too; only then is the body worth a
        // second, repaired, attempt.
        if (platform::unicode::isValidUtf8(body)) throw JsonError(e.what());
    }
    try {
        return nlohmann::json::parse(platform::unicode::sanitizeUtf8(body));
    } catch (const nlohmann::json::parse_error& e) {
        throw JsonError(e.what());
    }
}

std::string trimmedAnswer(std::string_view answer) {
    // Answers can be megabytes long. Strip ASCII white space from the ends
    // first; when an ASCII character is then left at both ends there is
    // nothing more to strip, and the full Unicode trim, which walks the whole
    // text, is needed only when an end is not ASCII.
    const auto isAsciiSpace = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    std::size_t begin = 0;
    std::size_t end = answer.size();
    while (begin < end && isAsciiSpace(answer[begin])) ++begin;
    while (end > begin && isAsciiSpace(answer[end - 1])) --end;
    const auto inner = answer.substr(begin, end - begin);
    if (inner.empty()) return {};
    const auto isAscii = [](char c) { return static_cast<unsigned char>(c) < 0x80; };
    if (isAscii(inner.front()) && isAscii(inner.back())) return std::string(inner);
    return platform::unicode::trimWhitespaceAndNewlines(inner);
}

}  // namespace core
