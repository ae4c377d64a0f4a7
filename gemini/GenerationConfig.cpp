#include "gemini/GenerationConfig.h"

#include "gemini/EncodingError.h"
#include "gemini/JsonWriter.h"

namespace gemini {

nlohmann::json GenerationConfig::toJson() const {
    auto out = nlohmann::json::object();
    if (temperature) out["temperature"] = encodingMember("temperature", [&] { return JsonWriter::number(*temperature); });
    if (topP) out["top_p"] = encodingMember("top_p", [&] { return JsonWriter::number(*topP); });
    if (topK) out["top_k"] = *topK;
    if (candidateCount) out["candidate_count"] = *candidateCount;
    if (maxOutputTokens) out["max_output_tokens"] = *maxOutputTokens;
    if (stopSequences) out["stop_sequences"] = *stopSequences;
    if (responseMIMEType) out["response_mime_type"] = *responseMIMEType;
    if (responseSchema) out["response_schema"] = responseSchema->toJson();
    return out;
}

}  // namespace gemini
