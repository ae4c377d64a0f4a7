#include "gemini/Schema.h"

namespace gemini {

nlohmann::json Schema::toJson() const {
    auto out = nlohmann::json::object();
    out["type"] = rawValue(fields_.type);
    if (fields_.format) out["format"] = *fields_.format;
    if (fields_.description) out["description"] = *fields_.description;
    if (fields_.nullable) out["nullable"] = *fields_.nullable;
    if (fields_.enumValues) out["enum"] = *fields_.enumValues;
    if (fields_.items) out["items"] = fields_.items->toJson();
    if (fields_.properties) {
        // Property names are data: written as the caller gave them.
        auto properties = nlohmann::json::object();
        for (const auto& [name, schema] : *fields_.properties)
            properties[name] = schema ? schema->toJson() : nlohmann::json::object();
        out["properties"] = std::move(properties);
    }
    if (fields_.requiredProperties) out["required"] = *fields_.requiredProperties;
    return out;
}

}  // namespace gemini
