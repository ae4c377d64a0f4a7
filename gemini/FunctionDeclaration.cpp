#include "gemini/FunctionDeclaration.h"

namespace gemini {
namespace {

SchemaPtr objectSchema(std::optional<std::map<std::string, SchemaPtr>> properties,
                       std::optional<std::vector<std::string>> required) {
    Schema::Fields fields;
    fields.type = DataType::object;
    fields.properties = std::move(properties);
    fields.requiredProperties = std::move(required);
    return Schema::make(std::move(fields));
}

}  // namespace

FunctionDeclaration::FunctionDeclaration(std::string name_, std::string description_,
                                         std::optional<std::map<std::string, SchemaPtr>> parameters_,
                                         std::optional<std::vector<std::string>> requiredParameters)
    : name(std::move(name_)),
      description(std::move(description_)),
      parameters(objectSchema(std::move(parameters_), std::move(requiredParameters))) {}

nlohmann::json FunctionDeclaration::toJson() const {
    auto out = nlohmann::json::object();
    out["name"] = name;
    out["description"] = description;
    if (parameters) out["parameters"] = parameters->toJson();
    return out;
}

}  // namespace gemini
