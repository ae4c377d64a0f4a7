#include "gemini/ToolConfig.h"

namespace gemini {

nlohmann::json FunctionCallingConfig::toJson() const {
    auto out = nlohmann::json::object();
    if (mode) out["mode"] = rawValue(*mode);
    if (allowedFunctionNames) out["allowed_function_names"] = *allowedFunctionNames;
    return out;
}

nlohmann::json ToolConfig::toJson() const {
    auto out = nlohmann::json::object();
    if (functionCallingConfig) out["function_calling_config"] = functionCallingConfig->toJson();
    return out;
}

}  // namespace gemini
