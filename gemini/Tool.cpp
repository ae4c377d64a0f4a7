#include "gemini/Tool.h"

namespace gemini {

nlohmann::json Tool::toJson() const {
    auto out = nlohmann::json::object();
    if (functionDeclarations) {
        auto declarations = nlohmann::json::array();
        for (const auto& d : *functionDeclarations) declarations.push_back(d.toJson());
        out["function_declarations"] = std::move(declarations);
    }
    if (codeExecution) out["code_execution"] = codeExecution->toJson();
    return out;
}

}  // namespace gemini
