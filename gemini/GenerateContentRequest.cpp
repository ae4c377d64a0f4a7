#include "gemini/GenerateContentRequest.h"

#include <fmt/format.h>

#include "gemini/EncodingError.h"
#include "gemini/JsonReader.h"
#include "platform/HttpClient.h"

namespace gemini {
namespace {

// The name goes into the path unescaped: anything that would end the path,
// split it or make it no URL at all is refused before a request is built.
bool fitsInPath(std::string_view text) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F || c == '?' || c == '#') return false;
    }
    return true;
}

template <class T>
nlohmann::json encodeList(const std::vector<T>& values) {
    auto out = nlohmann::json::array();
    for (std::size_t i = 0; i < values.size(); ++i)
        out.push_back(encodingElement(i, [&] { return values[i].toJson(); }));
    return out;
}

}  // namespace

std::string modelURL(std::string_view baseURL, const RequestOptions& options, std::string_view model,
                     std::string_view suffix) {
    if (!fitsInPath(model) || !fitsInPath(options.apiVersion))
        throw platform::URLError(
            platform::URLError::BadURL,
            fmt::format("The Gemini model name \"{}\" cannot be used in a request. Check the model's API name in the "
                        "settings.",
                        model));
    return fmt::format("{}/{}/{}{}", baseURL, options.apiVersion, model, suffix);
}

std::string GenerateContentRequest::url(std::string_view baseURL) const {
    return modelURL(baseURL, options, model, isStreaming ? ":streamGenerateContent?alt=sse" : ":generateContent");
}

nlohmann::json GenerateContentRequest::toJson() const {
    auto out = nlohmann::json::object();
    out["model"] = model;
    out["contents"] = encodingMember("contents", [&] { return encodeList(contents); });
    if (generationConfig)
        out["generation_config"] = encodingMember("generation_config", [&] { return generationConfig->toJson(); });
    if (safetySettings) out["safety_settings"] = encodeList(*safetySettings);
    if (tools) out["tools"] = encodeList(*tools);
    if (toolConfig) out["tool_config"] = toolConfig->toJson();
    if (systemInstruction)
        out["system_instruction"] = encodingMember("system_instruction", [&] { return systemInstruction->toJson(); });
    return out;
}

CountTokensResponse CountTokensResponse::decode(const JsonReader& reader) {
    return CountTokensResponse{reader.member("totalTokens").integer()};
}

CountTokensResponse CountTokensResponse::decode(std::string_view jsonText) {
    const auto document = JsonReader::parse(jsonText);
    return decode(JsonReader(document));
}

std::string CountTokensRequest::url(std::string_view baseURL) const {
    return modelURL(baseURL, options, model, ":countTokens");
}

nlohmann::json CountTokensRequest::toJson() const {
    return {{"generate_content_request",
             encodingMember("generate_content_request", [&] { return generateContentRequest.toJson(); })}};
}

}  // namespace gemini
