#include "gemini/JsonReader.h"

#include <cmath>
#include <limits>

#include <fmt/format.h>

namespace gemini {
namespace {

const char* foundDescription(const nlohmann::json& v) {
    switch (v.type()) {
        case nlohmann::json::value_t::null: return "null";
        case nlohmann::json::value_t::object: return "a dictionary";
        case nlohmann::json::value_t::array: return "an array";
        case nlohmann::json::value_t::string: return "a string";
        case nlohmann::json::value_t::boolean: return "a bool";
        case nlohmann::json::value_t::number_integer:
        case nlohmann::json::value_t::number_unsigned:
        case nlohmann::json::value_t::number_float: return "a number";
        default: return "an unsupported value";
    }
}

}  // namespace

nlohmann::json JsonReader::parse(std::string_view text) {
    try {
        return nlohmann::json::parse(text.begin(), text.end());
    } catch (const nlohmann::json::exception& e) {
        throw DecodingError(DecodingError::Kind::dataCorrupted, {},
                            fmt::format("The given data was not valid JSON. ({})", e.what()),
                            "The given data was not valid JSON.");
    }
}

CodingPath JsonReader::codingPath() const {
    CodingPath path;
    for (const JsonReader* r = this; r && r->parent_; r = r->parent_)
        path.push_back(r->isElement_ ? CodingKey::element(r->index_) : CodingKey::key(std::string(r->key_)));
    return CodingPath(path.rbegin(), path.rend());
}

void JsonReader::fail(DecodingError::Kind kind, std::string debugDescription) const {
    throw DecodingError(kind, codingPath(), std::move(debugDescription));
}

void JsonReader::typeMismatch(std::string_view expected) const {
    if (value_->is_null())
        fail(DecodingError::Kind::valueNotFound, fmt::format("Expected {} value but found null instead.", expected));
    fail(DecodingError::Kind::typeMismatch,
         fmt::format("Expected to decode {} but found {} instead.", expected, foundDescription(*value_)));
}

void JsonReader::requireObject() const {
    if (!value_->is_object()) typeMismatch("Dictionary");
}

void JsonReader::requireArray() const {
    if (!value_->is_array()) typeMismatch("Array");
}

bool JsonReader::contains(std::string_view key) const {
    requireObject();
    return value_->find(key) != value_->end();
}

JsonReader JsonReader::member(std::string_view key) const {
    requireObject();
    auto it = value_->find(key);
    if (it == value_->end())
        fail(DecodingError::Kind::keyNotFound, fmt::format("No value associated with key \"{}\".", key));
    return JsonReader(*it, this, key);
}

std::optional<JsonReader> JsonReader::optionalMember(std::string_view key) const {
    requireObject();
    auto it = value_->find(key);
    if (it == value_->end() || it->is_null()) return std::nullopt;
    return JsonReader(*it, this, key);
}

std::string JsonReader::string() const {
    if (!value_->is_string()) typeMismatch("String");
    return value_->get_ref<const std::string&>();
}

bool JsonReader::boolean() const {
    if (!value_->is_boolean()) typeMismatch("Bool");
    return value_->get<bool>();
}

double JsonReader::number() const {
    if (!value_->is_number()) typeMismatch("Double");
    return value_->get<double>();
}

std::int64_t JsonReader::integer() const {
    using value_t = nlohmann::json::value_t;
    switch (value_->type()) {
        case value_t::number_integer: return value_->get<std::int64_t>();
        case value_t::number_unsigned: {
            const auto u = value_->get<std::uint64_t>();
            if (u <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
                return static_cast<std::int64_t>(u);
            fail(DecodingError::Kind::dataCorrupted, fmt::format("Parsed JSON number <{}> does not fit in Int.", u));
        }
        case value_t::number_float: {
            // A whole number written with a fraction or exponent (3.0, 1e2) is
            // still that integer; anything else would be silently truncated.
            const double d = value_->get<double>();
            if (std::trunc(d) == d && d >= -9.2233720368547758e18 && d < 9.2233720368547758e18)
                return static_cast<std::int64_t>(d);
            fail(DecodingError::Kind::dataCorrupted, fmt::format("Parsed JSON number <{}> does not fit in Int.", d));
        }
        default: typeMismatch("Int");
    }
}

}  // namespace gemini
