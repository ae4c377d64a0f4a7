#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "gemini/Schema.h"

namespace gemini {

// One function the model may call.
struct FunctionDeclaration {
    // `parameters` is always an object schema holding the given properties
    // and required names (both may be absent).
    FunctionDeclaration(std::string name, std::string description,
                        std::optional<std::map<std::string, SchemaPtr>> parameters = std::nullopt,
                        std::optional<std::vector<std::string>> requiredParameters = std::nullopt);

    std::string name;
    std::string description;
    SchemaPtr parameters;

    nlohmann::json toJson() const;
};

}  // namespace gemini
