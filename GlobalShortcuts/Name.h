#pragma once

#include <functional>
#include <optional>
#include <string>

#include "GlobalShortcuts/Shortcut.h"

namespace GlobalShortcuts {

// A named shortcut: the identity under which the user's choice is stored
// ("GlobalShortcuts_" + rawValue) and actions are attached, with an optional
// default. Names compare by rawValue only.
//
// Making a name with a default stores (and registers) the default when
// nothing at all is stored for it yet, so make names on first use on the
// main thread, never during static initialisation.
class Name {
public:
    Name(std::string rawValue, std::optional<Shortcut> defaultShortcut);
    // A name without default.
    static Name fromRawValue(std::string rawValue);

    const std::string& rawValue() const { return rawValue_; }
    const std::optional<Shortcut>& defaultShortcut() const { return defaultShortcut_; }

    // The stored shortcut (getShortcut / setShortcut).
    std::optional<Shortcut> shortcut() const;
    void setShortcut(const std::optional<Shortcut>& shortcut) const;

    // The storage key, "GlobalShortcuts_" + rawValue.
    std::string userDefaultsKey() const;

    friend bool operator==(const Name& a, const Name& b) { return a.rawValue_ == b.rawValue_; }

private:
    struct Plain {};
    Name(Plain, std::string rawValue, std::optional<Shortcut> defaultShortcut);

    std::string rawValue_;
    std::optional<Shortcut> defaultShortcut_;
};

}  // namespace GlobalShortcuts

template <>
struct std::hash<GlobalShortcuts::Name> {
    std::size_t operator()(const GlobalShortcuts::Name& name) const noexcept {
        return std::hash<std::string>{}(name.rawValue());
    }
};
