#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "gemini/Schema.h"

namespace gemini {

// Sampling and output settings copied into every request of a model. The
// client passes each value on unchanged; absent fields are not written.
struct GenerationConfig {
    std::optional<float> temperature;
    std::optional<float> topP;
    std::optional<std::int64_t> topK;
    std::optional<std::int64_t> candidateCount;
    std::optional<std::int64_t> maxOutputTokens;
    std::optional<std::vector<std::string>> stopSequences;
    std::optional<std::string> responseMIMEType;
    SchemaPtr responseSchema;

    // Throws EncodingError for a temperature or top-p that is not finite.
    nlohmann::json toJson() const;
};

}  // namespace gemini
