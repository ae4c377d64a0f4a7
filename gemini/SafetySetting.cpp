#include "gemini/SafetySetting.h"

#include "gemini/EnumCoding.h"

namespace gemini {

SafetySetting SafetySetting::decode(const JsonReader& reader) {
    SafetySetting setting;
    setting.harmCategory = decodeLenient<HarmCategory>(reader.member("category"));
    setting.threshold = decodeLenient<BlockThreshold>(reader.member("threshold"));
    return setting;
}

nlohmann::json SafetySetting::toJson() const {
    return {{"category", rawValue(harmCategory)}, {"threshold", rawValue(threshold)}};
}

}  // namespace gemini
