#include "GlobalShortcuts/Shortcut.h"

#include <cstdlib>
#include <limits>

#include <nlohmann/json.hpp>
#include <utf8proc.h>

#include "GlobalShortcuts/GlobalShortcuts.h"
#include "GlobalShortcuts/KeyCharacters.h"
#include "GlobalShortcuts/ModifierFlags.h"
#include "GlobalShortcuts/SpecialKey.h"

namespace GlobalShortcuts {

namespace {

constexpr std::string_view kReplacementCharacter = "\uFFFD";

std::string utf8(utf8proc_int32_t codePoint) {
    utf8proc_uint8_t buffer[4];
    const auto length = utf8proc_encode_char(codePoint, buffer);
    return std::string(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(length));
}

// Applies `map` to every code point (upper- or lower-casing a text).
std::string mapCodePoints(std::string_view text, utf8proc_int32_t (*map)(utf8proc_int32_t)) {
    std::string result;
    const auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(text.data());
    const auto size = static_cast<utf8proc_ssize_t>(text.size());
    utf8proc_ssize_t offset = 0;
    while (offset < size) {
        utf8proc_int32_t codePoint = 0;
        const auto length = utf8proc_iterate(bytes + offset, size - offset, &codePoint);
        if (length <= 0)
            return std::string(text);
        result += utf8(map(codePoint));
        offset += length;
    }
    return result;
}

// Capitalises a one-character text the way a word is capitalised.
std::string capitalized(std::string_view text) {
    utf8proc_int32_t first = 0;
    const auto length = utf8proc_iterate(reinterpret_cast<const utf8proc_uint8_t*>(text.data()),
                                         static_cast<utf8proc_ssize_t>(text.size()), &first);
    if (length <= 0)
        return std::string(text);
    return utf8(utf8proc_totitle(first)) + std::string(text.substr(static_cast<std::size_t>(length)));
}

std::optional<int> qtKey(SpecialKey key) {
    using enum SpecialKey;
    if (key >= f1 && key <= f20)
        return Qt::Key_F1 + (static_cast<int>(key) - static_cast<int>(f1));
    switch (key) {
        case return_: return Qt::Key_Return;
        case delete_: return Qt::Key_Backspace;
        case deleteForward: return Qt::Key_Delete;
        case end: return Qt::Key_End;
        case escape: return Qt::Key_Escape;
        case help: return Qt::Key_Help;
        case home: return Qt::Key_Home;
        case space: return Qt::Key_Space;
        case tab: return Qt::Key_Tab;
        case pageUp: return Qt::Key_PageUp;
        case pageDown: return Qt::Key_PageDown;
        case upArrow: return Qt::Key_Up;
        case rightArrow: return Qt::Key_Right;
        case downArrow: return Qt::Key_Down;
        case leftArrow: return Qt::Key_Left;
        default: return std::nullopt;  // keypad keys
    }
}

std::optional<std::vector<MenuItem>>& mainMenu() {
    static std::optional<std::vector<MenuItem>> menu;
    return menu;
}

}  // namespace

Shortcut::Shortcut(long long carbonKeyCode, long long carbonModifiers)
    : carbonKeyCode_(carbonKeyCode), carbonModifiers_(ModifierFlags::toCarbon(ModifierFlags::fromCarbon(carbonModifiers))) {}

Shortcut::Shortcut(Key key, std::int64_t modifiers) : Shortcut(key.rawValue, ModifierFlags::toCarbon(modifiers)) {}

std::optional<Shortcut> Shortcut::fromEvent(const Event& event) {
    if (event.type != Event::keyDown && event.type != Event::keyUp)
        return std::nullopt;
    return Shortcut(event.keyCode, ModifierFlags::toCarbon(event.modifierFlags & ~ModifierFlags::function));
}

std::optional<Shortcut> Shortcut::fromName(const Name& name) { return getShortcut(name); }

std::string Shortcut::toJson() const {
    nlohmann::ordered_json json;
    json["carbonKeyCode"] = carbonKeyCode_;
    json["carbonModifiers"] = carbonModifiers_;
    return json.dump();
}

std::optional<Shortcut> Shortcut::fromJson(std::string_view text) {
    const auto json = nlohmann::json::parse(text, nullptr, /*allow_exceptions=*/false);
    if (!json.is_object())
        return std::nullopt;
    const auto integer = [&](const char* key) -> std::optional<long long> {
        const auto it = json.find(key);
        if (it == json.end() || !it->is_number_integer())
            return std::nullopt;
        if (it->is_number_unsigned() &&
            it->get<unsigned long long>() > static_cast<unsigned long long>(std::numeric_limits<long long>::max()))
            return std::nullopt;
        return it->get<long long>();
    };
    const auto keyCode = integer("carbonKeyCode");
    const auto modifiers = integer("carbonModifiers");
    if (!keyCode || !modifiers)
        return std::nullopt;
    return Shortcut(Decoded{}, *keyCode, *modifiers);
}

std::int64_t Shortcut::modifiers() const { return ModifierFlags::fromCarbon(carbonModifiers_); }

std::string Shortcut::description() const {
    std::string text = ModifierFlags::symbols(modifiers());
    if (const auto special = specialKey(carbonKeyCode_))
        return text + displayString(*special);
    const auto character = keyToCharacter(carbonKeyCode_);
    return text + capitalized(character ? *character : std::string(kReplacementCharacter));
}

std::optional<std::string> Shortcut::keyEquivalent() const {
    if (const auto special = specialKey(carbonKeyCode_))
        return GlobalShortcuts::keyEquivalent(*special);
    return keyToCharacter(carbonKeyCode_);
}

std::optional<QKeySequence> Shortcut::keySequence() const {
    const auto flags = modifiers();
    if (flags & ModifierFlags::function)
        return std::nullopt;  // Qt has no Fn modifier
    int key = 0;
    if (const auto special = specialKey(carbonKeyCode_)) {
        const auto mapped = qtKey(*special);
        if (!mapped)
            return std::nullopt;
        key = *mapped;
    } else {
        const auto character = keyToCharacter(carbonKeyCode_);
        if (!character)
            return std::nullopt;
        // Qt names a letter key by its upper-case character.
        const auto upper = QString::fromStdString(*character).toUpper();
        if (upper.size() != 1)
            return std::nullopt;
        key = upper.at(0).unicode();
    }
    Qt::KeyboardModifiers qtModifiers;
    if (flags & ModifierFlags::command)
        qtModifiers |= Qt::MetaModifier;
    if (flags & ModifierFlags::control)
        qtModifiers |= Qt::ControlModifier;
    if (flags & ModifierFlags::option)
        qtModifiers |= Qt::AltModifier;
    if (flags & ModifierFlags::shift)
        qtModifiers |= Qt::ShiftModifier;
    return QKeySequence(QKeyCombination(qtModifiers, static_cast<Qt::Key>(key)));
}

std::optional<MenuItem> Shortcut::takenBy(const std::vector<MenuItem>& menu) const {
    const auto flags = modifiers();
    const auto ours = keyEquivalent();
    for (const auto& item : menu) {
        auto text = item.keyEquivalent;
        auto mask = item.keyEquivalentModifierMask;
        // An upper-case key equivalent means shift + that key.
        if (flags & ModifierFlags::shift) {
            const auto lower = mapCodePoints(text, utf8proc_tolower);
            if (lower != text) {
                text = lower;
                mask |= ModifierFlags::shift;
            }
        }
        if (ours && text == *ours && mask == flags)
            return item;
        if (!item.submenu.empty())
            if (auto found = takenBy(item.submenu))
                return found;
    }
    return std::nullopt;
}

std::optional<MenuItem> Shortcut::takenByMainMenu() const {
    const auto& menu = mainMenu();
    if (!menu)
        return std::nullopt;
    return takenBy(*menu);
}

void setMainMenu(std::optional<std::vector<MenuItem>> menu) { mainMenu() = std::move(menu); }

bool isSandboxed() {
    static const bool sandboxed = std::getenv("APP_SANDBOX_CONTAINER_ID") != nullptr;
    return sandboxed;
}

}  // namespace GlobalShortcuts
