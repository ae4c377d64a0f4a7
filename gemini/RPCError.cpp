#include "gemini/RPCError.h"

#include "gemini/EnumCoding.h"
#include "gemini/JsonReader.h"

namespace gemini {

ErrorDetails ErrorDetails::decode(const JsonReader& r) {
    ErrorDetails d;
    d.type = r.member("@type").string();
    if (auto v = r.optionalMember("reason")) d.reason = v->string();
    if (auto v = r.optionalMember("domain")) d.domain = v->string();
    return d;
}

ErrorStatus ErrorStatus::decode(const JsonReader& r) {
    ErrorStatus s;
    if (auto v = r.optionalMember("code")) s.code = v->integer();
    if (auto v = r.optionalMember("message")) s.message = v->string();
    if (auto v = r.optionalMember("status")) s.status = decodeStrict<RPCStatus>(*v);
    if (r.contains("details"))
        s.details = r.member("details").array<ErrorDetails>([](const JsonReader& d) { return ErrorDetails::decode(d); });
    return s;
}

RPCError::RPCError(std::int64_t httpResponseCode, std::string message, RPCStatus status,
                   std::vector<ErrorDetails> details)
    // The server's own message is what the user can act on ("API key not
    // valid", "Resource has been exhausted (e.g. check quota).").
    : platform::Error(std::string(kClientIdentifier) + ".RPCError", static_cast<long>(httpResponseCode), message),
      httpResponseCode_(httpResponseCode),
      message_(std::move(message)),
      status_(status),
      details_(std::move(details)) {}

std::optional<ErrorDetails> RPCError::errorInfo() const {
    for (const auto& d : details_)
        if (d.type == kErrorInfoType) return d;
    return std::nullopt;
}

RPCError RPCError::decode(const JsonReader& r) {
    auto status = ErrorStatus::decode(r.member("error"));
    return RPCError(status.code.value_or(-1), status.message.value_or("Unknown error."),
                    status.status.value_or(RPCStatus::unknown), std::move(status.details));
}

RPCError RPCError::decode(std::string_view jsonText) {
    const auto document = JsonReader::parse(jsonText);
    return decode(JsonReader(document));
}

}  // namespace gemini
