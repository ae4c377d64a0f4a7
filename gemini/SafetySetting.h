#pragma once

#include <nlohmann/json.hpp>

#include "gemini/RawValue.h"

namespace gemini {

class JsonReader;

// The blocking threshold for one harm category, sent with every request.
struct SafetySetting {
    enum class HarmCategory { unknown, unspecified, harassment, hateSpeech, sexuallyExplicit, dangerousContent };
    enum class BlockThreshold { unknown, unspecified, blockLowAndAbove, blockMediumAndAbove, blockOnlyHigh, blockNone };

    HarmCategory harmCategory = HarmCategory::unspecified;
    BlockThreshold threshold = BlockThreshold::unspecified;

    friend bool operator==(const SafetySetting&, const SafetySetting&) = default;

    static SafetySetting decode(const JsonReader& reader);
    nlohmann::json toJson() const;
};

template <>
struct EnumTraits<SafetySetting::HarmCategory> {
    using E = SafetySetting::HarmCategory;
    static constexpr std::string_view name = "HarmCategory";
    static constexpr E unknown = E::unknown;
    static constexpr std::array<std::pair<E, std::string_view>, 6> table = {{
        {E::unknown, "HARM_CATEGORY_UNKNOWN"},
        {E::unspecified, "HARM_CATEGORY_UNSPECIFIED"},
        {E::harassment, "HARM_CATEGORY_HARASSMENT"},
        {E::hateSpeech, "HARM_CATEGORY_HATE_SPEECH"},
        {E::sexuallyExplicit, "HARM_CATEGORY_SEXUALLY_EXPLICIT"},
        {E::dangerousContent, "HARM_CATEGORY_DANGEROUS_CONTENT"},
    }};
};

template <>
struct EnumTraits<SafetySetting::BlockThreshold> {
    using E = SafetySetting::BlockThreshold;
    static constexpr std::string_view name = "BlockThreshold";
    static constexpr E unknown = E::unknown;
    static constexpr std::array<std::pair<E, std::string_view>, 6> table = {{
        {E::unknown, "UNKNOWN"},
        {E::unspecified, "HARM_BLOCK_THRESHOLD_UNSPECIFIED"},
        {E::blockLowAndAbove, "BLOCK_LOW_AND_ABOVE"},
        {E::blockMediumAndAbove, "BLOCK_MEDIUM_AND_ABOVE"},
        {E::blockOnlyHigh, "BLOCK_ONLY_HIGH"},
        {E::blockNone, "BLOCK_NONE"},
    }};
};

}  // namespace gemini
