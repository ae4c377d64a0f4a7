#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <fmt/format.h>

#include "gemini/JsonReader.h"
#include "gemini/RawValue.h"
#include "gemini/Logging.h"

namespace gemini {

// Enumerations received from the server never fail on a text the client does
// not know: it becomes `unknown` with one error line on the default logger.
// A value that is not a string still fails.
template <class E>
E decodeLenient(const JsonReader& reader) {
    const std::string raw = reader.string();
    if (auto value = fromRawValue<E>(raw)) return *value;
    Logging::default_()->error(
        fmt::format("[GeminiClient] Unrecognized {} with value \"{}\".", EnumTraits<E>::name, raw));
    return EnumTraits<E>::unknown;
}

// Strict decoding: a text outside the table fails the document.
template <class E>
E decodeStrict(const JsonReader& reader) {
    const std::string raw = reader.string();
    if (auto value = fromRawValue<E>(raw)) return *value;
    reader.fail(DecodingError::Kind::dataCorrupted,
                fmt::format("Cannot initialize {} from invalid String value {}", EnumTraits<E>::name, raw));
}

}  // namespace gemini
