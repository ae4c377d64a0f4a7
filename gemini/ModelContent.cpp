#include "gemini/ModelContent.h"

#include "gemini/EncodingError.h"
#include "gemini/JsonReader.h"
#include "gemini/PartsRepresentable.h"
#include "platform/Base64.h"

namespace gemini {
namespace {

ModelContent::Part decodeInlineData(const JsonReader& r) {
    // The service writes "mimeType" although requests use "mime_type": read
    // both so a returned image does not fail the whole answer.
    std::string mimetype;
    if (r.contains("mime_type") || !r.contains("mimeType"))
        mimetype = r.member("mime_type").string();
    else
        mimetype = r.member("mimeType").string();
    const auto data = r.member("data");
    auto bytes = platform::base64::decode(data.string());
    if (!bytes) data.fail(DecodingError::Kind::dataCorrupted, "Encountered Data is not valid Base64.");
    return ModelContent::Part::data(std::move(mimetype), std::move(*bytes));
}

}  // namespace

std::optional<std::string> ModelContent::Part::textValue() const {
    if (const auto* t = get<Text>()) return t->text;
    return std::nullopt;
}

ModelContent::Part ModelContent::Part::decode(const JsonReader& r) {
    if (r.contains("text")) return text(r.member("text").string());
    if (r.contains("inlineData")) return decodeInlineData(r.member("inlineData"));
    if (r.contains("functionCall")) return Part(FunctionCall::decode(r.member("functionCall")));
    if (r.contains("executableCode")) return Part(ExecutableCode::decode(r.member("executableCode")));
    if (r.contains("codeExecutionResult"))
        return Part(CodeExecutionResult::decode(r.member("codeExecutionResult")));
    r.fail(DecodingError::Kind::dataCorrupted, "No text, inline data or function call was found.");
}

nlohmann::json ModelContent::Part::toJson() const {
    auto out = nlohmann::json::object();
    std::visit(
        [&](const auto& v) {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, Text>) {
                out["text"] = v.text;
            } else if constexpr (std::is_same_v<T, InlineData>) {
                out["inline_data"] = {{"mime_type", v.mimetype}, {"data", platform::base64::encode(v.bytes)}};
            } else if constexpr (std::is_same_v<T, FileData>) {
                out["file_data"] = {{"mime_type", v.mimetype}, {"file_uri", v.uri}};
            } else if constexpr (std::is_same_v<T, FunctionCall>) {
                out["function_call"] = encodingMember("function_call", [&] { return v.toJson(); });
            } else if constexpr (std::is_same_v<T, FunctionResponse>) {
                out["function_response"] = encodingMember("function_response", [&] { return v.toJson(); });
            } else if constexpr (std::is_same_v<T, ExecutableCode>) {
                out["executable_code"] = v.toJson();
            } else {
                out["code_execution_result"] = v.toJson();
            }
        },
        value_);
    return out;
}

ModelContent ModelContent::fromValues(const std::vector<PartsValue>& values, std::optional<std::string> role) {
    std::vector<Part> parts;
    for (const auto& value : values) {
        auto converted = value.convertToParts();
        parts.insert(parts.end(), std::make_move_iterator(converted.begin()),
                     std::make_move_iterator(converted.end()));
    }
    return ModelContent(std::move(role), std::move(parts));
}

ModelContent ModelContent::decode(const JsonReader& r) {
    std::optional<std::string> role;
    if (auto roleReader = r.optionalMember("role")) role = roleReader->string();
    auto parts = r.member("parts").array<Part>([](const JsonReader& p) { return Part::decode(p); });
    return ModelContent(std::move(role), std::move(parts));
}

nlohmann::json ModelContent::toJson() const {
    auto out = nlohmann::json::object();
    if (role) out["role"] = *role;
    auto encodedParts = nlohmann::json::array();
    for (std::size_t i = 0; i < parts.size(); ++i)
        encodedParts.push_back(encodingElement(i, [&] { return parts[i].toJson(); }));
    out["parts"] = std::move(encodedParts);
    return out;
}

}  // namespace gemini
