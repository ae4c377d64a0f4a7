#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "gemini/FunctionCall.h"
#include "gemini/ModelContent.h"
#include "gemini/RawValue.h"
#include "gemini/SafetyRating.h"

namespace gemini {

class JsonReader;

// Why a candidate stopped.
enum class FinishReason { unknown, unspecified, stop, maxTokens, safety, recitation, other };

template <>
struct EnumTraits<FinishReason> {
    using E = FinishReason;
    static constexpr std::string_view name = "FinishReason";
    static constexpr E unknown = E::unknown;
    static constexpr std::array<std::pair<E, std::string_view>, 7> table = {{
        {E::unknown, "FINISH_REASON_UNKNOWN"},
        {E::unspecified, "FINISH_REASON_UNSPECIFIED"},
        {E::stop, "STOP"},
        {E::maxTokens, "MAX_TOKENS"},
        {E::safety, "SAFETY"},
        {E::recitation, "RECITATION"},
        {E::other, "OTHER"},
    }};
};

// One source the answer quotes.
struct Citation {
    std::int64_t startIndex = 0;
    // The service leaves both out at times; a missing one must not cost the
    // whole answer, so they decode as 0 and absent.
    std::int64_t endIndex = 0;
    std::optional<std::string> uri;
    std::optional<std::string> license;  // an empty text is stored as absent

    friend bool operator==(const Citation&, const Citation&) = default;
    static Citation decode(const JsonReader& reader);
};

struct CitationMetadata {
    std::vector<Citation> citationSources;

    friend bool operator==(const CitationMetadata&, const CitationMetadata&) = default;
    static CitationMetadata decode(const JsonReader& reader);
};

// What the server thought of the prompt.
struct PromptFeedback {
    enum class BlockReason { unknown, unspecified, safety, other };

    std::optional<BlockReason> blockReason;
    std::vector<SafetyRating> safetyRatings;

    friend bool operator==(const PromptFeedback&, const PromptFeedback&) = default;
    static PromptFeedback decode(const JsonReader& reader);
};

template <>
struct EnumTraits<PromptFeedback::BlockReason> {
    using E = PromptFeedback::BlockReason;
    static constexpr std::string_view name = "BlockReason";
    static constexpr E unknown = E::unknown;
    static constexpr std::array<std::pair<E, std::string_view>, 4> table = {{
        {E::unknown, "UNKNOWN"},
        {E::unspecified, "BLOCK_REASON_UNSPECIFIED"},
        {E::safety, "SAFETY"},
        {E::other, "OTHER"},
    }};
};

// One answer of the model.
struct CandidateResponse {
    ModelContent content;  // absent in the reply: role "user", no parts
    std::vector<SafetyRating> safetyRatings;
    std::optional<FinishReason> finishReason;
    std::optional<CitationMetadata> citationMetadata;

    friend bool operator==(const CandidateResponse&, const CandidateResponse&) = default;
    // Throws InvalidCandidateError when "content" is there but unusable.
    static CandidateResponse decode(const JsonReader& reader);
};

// The answer of a generate-content call, or one chunk of a streamed one.
struct GenerateContentResponse {
    struct UsageMetadata {
        std::int64_t promptTokenCount = 0;
        std::int64_t candidatesTokenCount = 0;
        std::int64_t totalTokenCount = 0;

        friend bool operator==(const UsageMetadata&, const UsageMetadata&) = default;
        static UsageMetadata decode(const JsonReader& reader);
    };

    std::vector<CandidateResponse> candidates;
    std::optional<PromptFeedback> promptFeedback;
    std::optional<UsageMetadata> usageMetadata;

    friend bool operator==(const GenerateContentResponse&, const GenerateContentResponse&) = default;

    // The answer text of the first candidate: its text parts, code and code
    // output as fenced blocks, joined by line breaks. Nothing (and an error
    // line on the log) when there is no candidate or no such part.
    std::optional<std::string> text() const;
    // The function calls of the first candidate, in part order.
    std::vector<FunctionCall> functionCalls() const;

    static GenerateContentResponse decode(const JsonReader& reader);
    // Parses and decodes one body or event; throws DecodingError or
    // InvalidCandidateError.
    static GenerateContentResponse decode(std::string_view jsonText);
};

}  // namespace gemini
