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

}  // namespace core
