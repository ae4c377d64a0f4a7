#pragma once

#include <map>
#include <string>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

namespace gemini {

class JsonReader;

// Free-form JSON chosen by the caller or the model: function-call arguments
// and function results.
class JSONValue {
public:
    struct Null {
        friend bool operator==(Null, Null) { return true; }
    };
    using Object = std::map<std::string, JSONValue>;
    using Array = std::vector<JSONValue>;
    enum class Kind { null, number, string, bool_, object, array };

    JSONValue() : value_(Null{}) {}
    static JSONValue null() { return JSONValue(); }
    static JSONValue number(double v) { return JSONValue(std::in_place_type<double>, v); }
    static JSONValue string(std::string v) { return JSONValue(std::in_place_type<std::string>, std::move(v)); }
    static JSONValue bool_(bool v) { return JSONValue(std::in_place_type<bool>, v); }
    static JSONValue object(Object v) { return JSONValue(std::in_place_type<Object>, std::move(v)); }
    static JSONValue array(Array v) { return JSONValue(std::in_place_type<Array>, std::move(v)); }

    Kind kind() const { return static_cast<Kind>(value_.index()); }
    // The payload of the given case; nothing for another case.
    const double* asNumber() const { return std::get_if<double>(&value_); }
    const std::string* asString() const { return std::get_if<std::string>(&value_); }
    const bool* asBool() const { return std::get_if<bool>(&value_); }
    const Object* asObject() const { return std::get_if<Object>(&value_); }
    const Array* asArray() const { return std::get_if<Array>(&value_); }

    // Same case and equal payloads; numbers compare as doubles (NaN equals
    // nothing), objects by key set whatever the order.
    friend bool operator==(const JSONValue& a, const JSONValue& b) { return a.value_ == b.value_; }

    static JSONValue decode(const JsonReader& reader);
    // Throws EncodingError for a number that is not finite.
    nlohmann::json toJson() const;

private:
    using Storage = std::variant<Null, double, std::string, bool, Object, Array>;
    template <class T, class U>
    JSONValue(std::in_place_type_t<T> type, U&& value) : value_(type, std::forward<U>(value)) {}
    Storage value_;
};

using JSONObject = std::map<std::string, JSONValue>;

// Map members keyed by data (argument names, result members): keys are
// written and read exactly as they stand.
JSONObject decodeJSONObject(const JsonReader& reader);
nlohmann::json encodeJSONObject(const JSONObject& object);

}  // namespace gemini
