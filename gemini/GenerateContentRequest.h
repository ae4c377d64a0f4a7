#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "gemini/GenerateContentResponse.h"
#include "gemini/GenerationConfig.h"
#include "gemini/ModelContent.h"
#include "gemini/RequestOptions.h"
#include "gemini/SafetySetting.h"
#include "gemini/Tool.h"
#include "gemini/ToolConfig.h"

namespace gemini {

// One turn of generation, answered whole or as a stream of events.
struct GenerateContentRequest {
    using Response = GenerateContentResponse;

    std::string model;  // resource name, "models/..." for the public models
    std::vector<ModelContent> contents;
    std::optional<GenerationConfig> generationConfig;
    std::optional<std::vector<SafetySetting>> safetySettings;
    std::optional<std::vector<Tool>> tools;
    std::optional<ToolConfig> toolConfig;
    std::optional<ModelContent> systemInstruction;
    bool isStreaming = false;  // chooses the URL only
    RequestOptions options;

    // baseURL + "/" + apiVersion + "/" + model + ":generateContent" (or
    // ":streamGenerateContent?alt=sse"). Throws platform::URLError (bad URL)
    // when the model name cannot be part of a URL; nothing is sent then.
    std::string url(std::string_view baseURL) const;

    // The body; throws EncodingError for a number without JSON form.
    nlohmann::json toJson() const;
};

// The answer to a count-tokens call.
struct CountTokensResponse {
    std::int64_t totalTokens = 0;

    static CountTokensResponse decode(const JsonReader& reader);
    static CountTokensResponse decode(std::string_view jsonText);
};

// How many tokens a generate-content request would use.
struct CountTokensRequest {
    using Response = CountTokensResponse;

    std::string model;
    GenerateContentRequest generateContentRequest;
    RequestOptions options;

    std::string url(std::string_view baseURL) const;
    nlohmann::json toJson() const;
};

// baseURL + "/" + apiVersion + "/" + model + suffix, after checking that the
// model name can stand in a URL as it is (it is not escaped).
std::string modelURL(std::string_view baseURL, const RequestOptions& options, std::string_view model,
                     std::string_view suffix);

}  // namespace gemini
