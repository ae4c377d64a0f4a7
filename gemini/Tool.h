#pragma once

#include <optional>
#include <vector>

#include <nlohmann/json.hpp>

#include "gemini/FunctionDeclaration.h"

namespace gemini {

// Its presence in a Tool switches code execution on.
struct CodeExecution {
    nlohmann::json toJson() const { return nlohmann::json::object(); }
};

// One entry of the request's tool list.
struct Tool {
    std::optional<std::vector<FunctionDeclaration>> functionDeclarations;
    std::optional<CodeExecution> codeExecution;

    nlohmann::json toJson() const;
};

}  // namespace gemini
