#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "gemini/RawValue.h"

namespace gemini {

// The JSON type a schema describes.
enum class DataType { string, number, integer, boolean, array, object };

template <>
struct EnumTraits<DataType> {
    using E = DataType;
    static constexpr std::string_view name = "DataType";
    static constexpr std::array<std::pair<E, std::string_view>, 6> table = {{
        {E::string, "STRING"},
        {E::number, "NUMBER"},
        {E::integer, "INTEGER"},
        {E::boolean, "BOOLEAN"},
        {E::array, "ARRAY"},
        {E::object, "OBJECT"},
    }};
};

class Schema;
using SchemaPtr = std::shared_ptr<const Schema>;

// The shape of a function's parameters or of a structured answer. Immutable
// and shared: one schema may sit in several declarations, a generation config
// and its parent schemas.
class Schema {
public:
    struct Fields {
        DataType type = DataType::string;
        std::optional<std::string> format;
        std::optional<std::string> description;
        std::optional<bool> nullable;
        std::optional<std::vector<std::string>> enumValues;
        SchemaPtr items;
        std::optional<std::map<std::string, SchemaPtr>> properties;
        std::optional<std::vector<std::string>> requiredProperties;
    };

    explicit Schema(Fields fields) : fields_(std::move(fields)) {}
    static SchemaPtr make(Fields fields) { return std::make_shared<const Schema>(std::move(fields)); }

    DataType type() const { return fields_.type; }
    const std::optional<std::string>& format() const { return fields_.format; }
    const std::optional<std::string>& description() const { return fields_.description; }
    const std::optional<bool>& nullable() const { return fields_.nullable; }
    const std::optional<std::vector<std::string>>& enumValues() const { return fields_.enumValues; }
    const SchemaPtr& items() const { return fields_.items; }
    const std::optional<std::map<std::string, SchemaPtr>>& properties() const { return fields_.properties; }
    const std::optional<std::vector<std::string>>& requiredProperties() const { return fields_.requiredProperties; }

    nlohmann::json toJson() const;

private:
    Fields fields_;
};

}  // namespace gemini
