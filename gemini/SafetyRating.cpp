#include "gemini/SafetyRating.h"

#include "gemini/EnumCoding.h"

namespace gemini {

SafetyRating SafetyRating::decode(const JsonReader& reader) {
    SafetyRating rating;
    rating.category = decodeLenient<SafetySetting::HarmCategory>(reader.member("category"));
    rating.probability = decodeLenient<HarmProbability>(reader.member("probability"));
    return rating;
}

SafetyFeedback SafetyFeedback::decode(const JsonReader& reader) {
    SafetyFeedback feedback;
    feedback.rating = SafetyRating::decode(reader.member("rating"));
    feedback.setting = SafetySetting::decode(reader.member("setting"));
    return feedback;
}

}  // namespace gemini
