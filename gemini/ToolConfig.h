#pragma once

#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "gemini/RawValue.h"

namespace gemini {

// How the model may call functions.
struct FunctionCallingConfig {
    enum class Mode { auto_, any, none };

    std::optional<Mode> mode;
    std::optional<std::vector<std::string>> allowedFunctionNames;

    nlohmann::json toJson() const;
};

template <>
struct EnumTraits<FunctionCallingConfig::Mode> {
    using E = FunctionCallingConfig::Mode;
    static constexpr std::string_view name = "Mode";
    static constexpr std::array<std::pair<E, std::string_view>, 3> table = {{
        {E::auto_, "AUTO"},
        {E::any, "ANY"},
        {E::none, "NONE"},
    }};
};

struct ToolConfig {
    std::optional<FunctionCallingConfig> functionCallingConfig;

    nlohmann::json toJson() const;
};

}  // namespace gemini
