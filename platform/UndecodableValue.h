#pragma once

#include <string>
#include <string_view>
#include <variant>

#include "platform/UserDefaults.h"

namespace platform {

// Copies a stored value that could not be decoded to a side key next to
// `key` ("KEY.corrupt", or "KEY.corrupt.N" when earlier copies exist), so
// that writing a fresh value under `key` loses nothing the user could still
// recover by hand. Logs one line naming both keys. Returns the side key, or
// an empty string when an identical copy was already kept: a value read
// again and again (a shortcut at every key press) is copied and logged once.
std::string keepUndecodableValue(UserDefaults& defaults, std::string_view key, const DefaultsValue& value,
                                 std::string_view reason);

// Whether `key` holds a value of one of the kinds `Readable` names. A value
// of another kind (a hand edit, a newer version) is kept aside as above, and
// the caller reads the key as holding nothing.
template <class... Readable>
bool holdsReadable(UserDefaults& defaults, std::string_view key, std::string_view reason) {
    const auto stored = defaults.object(key);
    if (!stored) return false;
    if ((std::holds_alternative<Readable>(*stored) || ...)) return true;
    keepUndecodableValue(defaults, key, *stored, reason);
    return false;
}

}  // namespace platform
