#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QKeySequence>

#include "GlobalShortcuts/Event.h"
#include "GlobalShortcuts/Key.h"
#include "GlobalShortcuts/MenuItem.h"

namespace GlobalShortcuts {

class Name;

// A key combination: a key code and a Carbon modifier mask. This pair is the
// stored form, so it keeps Apple key codes and masks on every system.
class Shortcut {
public:
    // The mask keeps only control, option, shift, command and function.
    Shortcut(long long carbonKeyCode, long long carbonModifiers);
    // From a key and ModifierFlags.
    Shortcut(Key key, std::int64_t modifiers);

    // A key down or key up gives the shortcut pressed, without the function
    // modifier (which the system adds to arrows and F-keys); anything else
    // gives none.
    static std::optional<Shortcut> fromEvent(const Event& event);
    // The shortcut stored for the name, if one is.
    static std::optional<Shortcut> fromName(const Name& name);

    // The stored JSON text, {"carbonKeyCode":…,"carbonModifiers":…}.
    std::string toJson() const;
    // Reads both members as they are (no normalising); none when the text is
    // not such an object or either member is not an integer.
    static std::optional<Shortcut> fromJson(std::string_view json);

    long long carbonKeyCode() const { return carbonKeyCode_; }
    long long carbonModifiers() const { return carbonModifiers_; }

    Key key() const { return Key{carbonKeyCode_}; }
    std::int64_t modifiers() const;  // ModifierFlags

    // "⌘⇧V", "⌃⌥Space": modifier symbols, then the key's symbol or character.
    std::string description() const;

    // The text a menu item would hold as key equivalent for this key.
    std::optional<std::string> keyEquivalent() const;

    // The same combination as a Qt key sequence (Command = Meta, which is
    // Super on X11); none for keypad keys, the function modifier, or a key
    // that types nothing on the current layout.
    std::optional<QKeySequence> keySequence() const;

    // The first item of `menu` (searched depth first) whose key equivalent is
    // this shortcut.
    std::optional<MenuItem> takenBy(const std::vector<MenuItem>& menu) const;
    // The same search in the application's main menu; none without one.
    std::optional<MenuItem> takenByMainMenu() const;

    friend bool operator==(const Shortcut&, const Shortcut&) = default;

private:
    struct Decoded {};
    Shortcut(Decoded, long long keyCode, long long modifiers) : carbonKeyCode_(keyCode), carbonModifiers_(modifiers) {}

    long long carbonKeyCode_;
    long long carbonModifiers_;
};

// The application's main menu, for takenByMainMenu (none by default: the
// program lives in the tray and has no menu bar).
void setMainMenu(std::optional<std::vector<MenuItem>> menu);

// True when the process runs in an application sandbox
// (APP_SANDBOX_CONTAINER_ID is set); read once.
bool isSandboxed();

}  // namespace GlobalShortcuts

template <>
struct std::hash<GlobalShortcuts::Shortcut> {
    std::size_t operator()(const GlobalShortcuts::Shortcut& shortcut) const noexcept {
        const auto first = std::hash<long long>{}(shortcut.carbonKeyCode());
        return first ^ (std::hash<long long>{}(shortcut.carbonModifiers()) + 0x9e3779b97f4a7c15ULL + (first << 6) +
                        (first >> 2));
    }
};
