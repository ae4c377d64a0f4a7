#include "gemini/JsonWriter.h"

#include <charconv>
#include <cmath>

#include "gemini/EncodingError.h"
#include "platform/Unicode.h"

namespace gemini {
namespace {

[[noreturn]] void notFinite(double value) {
    throw EncodingError({}, std::isnan(value) ? "Unable to encode Double.nan directly in JSON."
                                              : "Unable to encode Double.infinity directly in JSON.");
}

void appendEscaped(std::string_view text, std::string& out) {
    static constexpr char kHex[] = "0123456789abcdef";
    out.push_back('"');
    std::size_t plain = 0;  // start of the run not yet copied
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c != '"' && c != '\\') continue;
        out.append(text.data() + plain, i - plain);
        plain = i + 1;
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            case '\b': out += "\\b"; break;
            case '\f': out += "\\f"; break;
            default:
                out += "\\u00";
                out.push_back(kHex[c >> 4]);
                out.push_back(kHex[c & 0xF]);
        }
    }
    out.append(text.data() + plain, text.size() - plain);
    out.push_back('"');
}

void appendString(const std::string& text, std::string& out) {
    if (platform::unicode::isValidUtf8(text))
        appendEscaped(text, out);
    else
        appendEscaped(platform::unicode::sanitizeUtf8(text), out);
}

template <class T>
void appendNumber(T value, std::string& out, std::chars_format format) {
    // Plain decimal notation needs up to ~330 characters for extreme doubles.
    char buffer[512];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, format);
    out.append(buffer, result.ptr);
}

template <class T>
void appendInteger(T value, std::string& out) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

}  // namespace

nlohmann::json JsonWriter::number(double value) {
    if (!std::isfinite(value)) notFinite(value);
    return value;
}

nlohmann::json JsonWriter::number(float value) {
    if (!std::isfinite(value)) notFinite(value);
    char buffer[64];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, value);
    double asDouble = 0;
    std::from_chars(buffer, written.ptr, asDouble);
    return asDouble;
}

std::string JsonWriter::serialize(const nlohmann::json& value) {
    std::string out;
    serialize(value, out);
    return out;
}

void JsonWriter::serialize(const nlohmann::json& value, std::string& out) {
    using value_t = nlohmann::json::value_t;
    switch (value.type()) {
        case value_t::null:
        case value_t::discarded: out += "null"; return;
        case value_t::boolean: out += value.get<bool>() ? "true" : "false"; return;
        case value_t::number_integer: appendInteger(value.get<std::int64_t>(), out); return;
        case value_t::number_unsigned: appendInteger(value.get<std::uint64_t>(), out); return;
        case value_t::number_float: {
            const double d = value.get<double>();
            if (!std::isfinite(d)) notFinite(d);
            appendNumber(d, out, std::chars_format::fixed);
            return;
        }
        case value_t::string: appendString(value.get_ref<const std::string&>(), out); return;
        case value_t::binary: appendString(std::string(value.get_binary().begin(), value.get_binary().end()), out); return;
        case value_t::array: {
            out.push_back('[');
            bool first = true;
            for (const auto& element : value) {
                if (!first) out.push_back(',');
                first = false;
                serialize(element, out);
            }
            out.push_back(']');
            return;
        }
        case value_t::object: {
            out.push_back('{');
            bool first = true;
            for (auto it = value.begin(); it != value.end(); ++it) {
                if (!first) out.push_back(',');
                first = false;
                appendString(it.key(), out);
                out.push_back(':');
                serialize(it.value(), out);
            }
            out.push_back('}');
            return;
        }
    }
}

}  // namespace gemini
