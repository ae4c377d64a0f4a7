#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform::base64 {

// Standard alphabet with '=' padding.
std::string encode(std::string_view bytes);

// Strict: only the standard alphabet, correct padding, no white space and
// no non-zero bits in the padding. Returns nothing for any other input.
std::optional<std::string> decode(std::string_view text);

}  // namespace platform::base64
