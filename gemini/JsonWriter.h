#pragma once

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace gemini {

// Writes request bodies. The records build nlohmann values; this turns them
// into compact text with numbers as written (0.7 stays 0.7, 3 has no
// fraction) and invalid UTF-8 in strings replaced, never thrown.
class JsonWriter {
public:
    JsonWriter() = delete;

    // A Double for the wire; throws EncodingError when it is infinite or NaN.
    static nlohmann::json number(double value);
    // A Float for the wire, by its shortest decimal form (0.7f goes out as
    // 0.7, not 0.699999988079071); throws EncodingError when not finite.
    static nlohmann::json number(float value);

    // Compact JSON text. Throws EncodingError for a non-finite number.
    static std::string serialize(const nlohmann::json& value);
    static void serialize(const nlohmann::json& value, std::string& out);
};

}  // namespace gemini
