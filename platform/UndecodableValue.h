#pragma once

#include <string>
#include <string_view>

#include "platform/UserDefaults.h"

namespace core {

// Copies a stored value that could not be decoded to a side key next to
// `key` ("KEY.corrupt", or "KEY.corrupt.N" when earlier copies exist), so
// that writing a fresh value under `key` loses nothing the user could still
// recover by hand. Logs one line naming both keys. Returns the side key, or
// an empty string when an identical copy was already kept.
std::string keepUndecodableValue(platform::UserDefaults& defaults, std::string_view key,
                                 const platform::DefaultsValue& value, std::string_view reason);

}  // namespace core
