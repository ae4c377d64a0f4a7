#include "gemini/JsonWriter.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>

#include "gemini/EncodingError.h"

namespace gemini {
namespace {

[[noreturn]] void notFinite(double value) {
    throw EncodingError({}, std::isnan(value) ? "Unable to encode Double.nan directly in JSON."
                                              : "Unable to encode Double.infinity directly in JSON.");
}

std::string text(const nlohmann::json& leaf) {
    return leaf.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// Plain decimal with the fewest digits that read back to the same double
// (1e-7 as 0.0000001, 1e21 as 1000000000000000000000): some servers refuse
// exponents, and nlohmann writes one below 1e-4 and from 1e15 up.
void appendNumber(std::string& out, double value) {
    char buffer[400];  // the longest, 5e-324, is 326 characters
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    out.append(buffer, written.ptr);
}

// Whether nlohmann would write a number of `value` with an exponent. Rare
// (a function argument of 1e-7): the other bodies are written by nlohmann in
// one pass, twice as fast as writing them piece by piece.
bool hasExponentNumber(const nlohmann::json& value) {
    if (value.is_number_float()) return text(value).find_first_of("eE") != std::string::npos;
    if (!value.is_structured()) return false;
    for (const auto& element : value)
        if (hasExponentNumber(element)) return true;
    return false;
}

void append(std::string& out, const nlohmann::json& value) {
    switch (value.type()) {
        case nlohmann::json::value_t::object: {
            out += '{';
            for (auto it = value.begin(); it != value.end(); ++it) {
                if (it != value.begin()) out += ',';
                out += text(it.key());
                out += ':';
                append(out, it.value());
            }
            out += '}';
            break;
        }
        case nlohmann::json::value_t::array: {
            out += '[';
            for (auto it = value.begin(); it != value.end(); ++it) {
                if (it != value.begin()) out += ',';
                append(out, *it);
            }
            out += ']';
            break;
        }
        case nlohmann::json::value_t::number_float: appendNumber(out, value.get<double>()); break;
        default: out += text(value);
    }
}

}  // namespace

nlohmann::json JsonWriter::number(double value) {
    if (!std::isfinite(value)) notFinite(value);
    // A whole number goes out without a fraction (3, not 3.0). Within 2^53
    // every whole double is exact as an integer too.
    constexpr double kExactWhole = 9007199254740992.0;
    if (value == std::trunc(value) && std::fabs(value) <= kExactWhole) return static_cast<std::int64_t>(value);
    return value;
}

nlohmann::json JsonWriter::number(float value) {
    if (!std::isfinite(value)) notFinite(value);
    char buffer[64];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, value);
    double asDouble = 0;
    std::from_chars(buffer, written.ptr, asDouble);
    return number(asDouble);
}

std::string JsonWriter::serialize(const nlohmann::json& value) {
    if (!hasExponentNumber(value)) return text(value);
    std::string out;
    append(out, value);
    return out;
}

}  // namespace gemini
