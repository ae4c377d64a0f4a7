#include "gemini/JsonWriter.h"

#include <charconv>
#include <cmath>
#include <cstdint>

#include "gemini/EncodingError.h"

namespace gemini {
namespace {

[[noreturn]] void notFinite(double value) {
    throw EncodingError({}, std::isnan(value) ? "Unable to encode Double.nan directly in JSON."
                                              : "Unable to encode Double.infinity directly in JSON.");
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
    return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace gemini
