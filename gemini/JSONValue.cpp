#include "gemini/JSONValue.h"

#include "gemini/EncodingError.h"
#include "gemini/JsonReader.h"
#include "gemini/JsonWriter.h"

namespace gemini {
namespace {

struct NotAValue {};  // an element or member that is no JSON value

JSONValue decodeValue(const JsonReader& r) {
    using value_t = nlohmann::json::value_t;
    if (r.depth() > JsonReader::kMaxDepth) throw NotAValue{};
    const auto& v = r.value();
    switch (v.type()) {
        case value_t::null: return JSONValue::null();
        case value_t::number_integer:
        case value_t::number_unsigned:
        case value_t::number_float: return JSONValue::number(v.get<double>());
        case value_t::string: return JSONValue::string(v.get_ref<const std::string&>());
        case value_t::boolean: return JSONValue::bool_(v.get<bool>());
        case value_t::object: {
            JSONValue::Object object;
            r.forEachMember([&](const std::string& key, const JsonReader& member) {
                object.emplace(key, decodeValue(member));
            });
            return JSONValue::object(std::move(object));
        }
        case value_t::array:
            return JSONValue::array(r.array<JSONValue>([](const JsonReader& e) { return decodeValue(e); }));
        default: throw NotAValue{};
    }
}

}  // namespace

JSONValue JSONValue::decode(const JsonReader& reader) {
    try {
        return decodeValue(reader);
    } catch (const NotAValue&) {
        reader.fail(DecodingError::Kind::dataCorrupted, "Failed to decode JSON value.");
    }
}

nlohmann::json JSONValue::toJson() const {
    return std::visit(
        [](const auto& v) -> nlohmann::json {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, Null>) {
                return nullptr;
            } else if constexpr (std::is_same_v<T, double>) {
                return JsonWriter::number(v);
            } else if constexpr (std::is_same_v<T, Object>) {
                return encodeJSONObject(v);
            } else if constexpr (std::is_same_v<T, Array>) {
                auto out = nlohmann::json::array();
                for (std::size_t i = 0; i < v.size(); ++i)
                    out.push_back(encodingElement(i, [&] { return v[i].toJson(); }));
                return out;
            } else {
                return v;
            }
        },
        value_);
}

JSONObject decodeJSONObject(const JsonReader& reader) {
    JSONObject object;
    reader.forEachMember(
        [&](const std::string& key, const JsonReader& member) { object.emplace(key, JSONValue::decode(member)); });
    return object;
}

nlohmann::json encodeJSONObject(const JSONObject& object) {
    auto out = nlohmann::json::object();
    for (const auto& [key, value] : object) out[key] = encodingMember(key, [&] { return value.toJson(); });
    return out;
}

}  // namespace gemini
