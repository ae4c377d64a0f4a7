#pragma once

#include <string>

#include <nlohmann/json.hpp>

namespace gemini {

// Writes request bodies. The records build nlohmann values; `serialize`
// writes them as compact text, strings by nlohmann with invalid UTF-8
// replaced, never thrown, and numbers by our own rule.
// Numbers come in through `number`, which keeps them as written: 0.7f goes
// out as 0.7, a whole 3.0 as 3, every other double in plain decimal (never an
// exponent) with the fewest digits that read back to the same value.
class JsonWriter {
public:
    JsonWriter() = delete;

    // A Double for the wire; throws EncodingError when it is infinite or NaN.
    static nlohmann::json number(double value);
    // A Float for the wire, by its shortest decimal form (0.7f goes out as
    // 0.7, not 0.699999988079071); throws EncodingError when not finite.
    static nlohmann::json number(float value);

    // Compact JSON text.
    static std::string serialize(const nlohmann::json& value);
};

}  // namespace gemini
