#pragma once

#include <cstddef>
#include <functional>

#include "gemini/SafetySetting.h"

namespace gemini {

// The server's estimate of one harm category for a candidate or the prompt.
struct SafetyRating {
    enum class HarmProbability { unknown, unspecified, negligible, low, medium, high };

    SafetySetting::HarmCategory category = SafetySetting::HarmCategory::unspecified;
    HarmProbability probability = HarmProbability::unspecified;

    friend bool operator==(const SafetyRating&, const SafetyRating&) = default;

    static SafetyRating decode(const JsonReader& reader);
};

template <>
struct EnumTraits<SafetyRating::HarmProbability> {
    using E = SafetyRating::HarmProbability;
    static constexpr std::string_view name = "HarmProbability";
    static constexpr E unknown = E::unknown;
    static constexpr std::array<std::pair<E, std::string_view>, 6> table = {{
        {E::unknown, "UNKNOWN"},
        {E::unspecified, "HARM_PROBABILITY_UNSPECIFIED"},
        {E::negligible, "NEGLIGIBLE"},
        {E::low, "LOW"},
        {E::medium, "MEDIUM"},
        {E::high, "HIGH"},
    }};
};

// A rating together with the setting that applied to it.
struct SafetyFeedback {
    SafetyRating rating;
    SafetySetting setting;

    static SafetyFeedback decode(const JsonReader& reader);
};

}  // namespace gemini

template <>
struct std::hash<gemini::SafetyRating> {
    std::size_t operator()(const gemini::SafetyRating& r) const noexcept {
        const auto c = static_cast<std::size_t>(r.category);
        return c * 31 + static_cast<std::size_t>(r.probability);
    }
};
