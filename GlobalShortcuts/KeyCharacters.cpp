#include "GlobalShortcuts/KeyCharacters.h"

#include <utf8proc.h>

#include "GlobalShortcuts/SpecialKey.h"
#include "platform/KeyPositions.h"
#include "platform/NotificationCenter.h"

namespace GlobalShortcuts {

namespace {

struct InstalledLayout {
    std::shared_ptr<const platform::KeyboardLayout> layout;
    bool looked = false;  // the system layout was asked for (it may not exist)
    std::function<std::shared_ptr<const platform::KeyboardLayout>()> read;  // the system layout
};

InstalledLayout& installed() {
    static InstalledLayout instance;
    return instance;
}

// The system layout is read again after the server's keyboard changed; a
// layout installed by hand stays.
void followKeyboardChanges() {
    static platform::ObserverToken observer = platform::NotificationCenter::defaultCenter().addObserver(
        std::string(platform::kKeyboardMappingDidChange), [](const platform::Notification&) {
            if (auto& current = installed(); current.looked)
                current = InstalledLayout{nullptr, false, std::move(current.read)};
        });
}

// Exactly one user-perceived character.
bool isOneCharacter(const std::string& text) {
    if (text.empty())
        return false;
    const auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(text.data());
    const auto size = static_cast<utf8proc_ssize_t>(text.size());
    utf8proc_int32_t first = 0;
    auto offset = utf8proc_iterate(bytes, size, &first);
    if (offset <= 0)
        return false;
    utf8proc_int32_t state = 0;
    while (offset < size) {
        utf8proc_int32_t next = 0;
        const auto length = utf8proc_iterate(bytes + offset, size - offset, &next);
        if (length <= 0)
            return false;
        if (utf8proc_grapheme_break_stateful(first, next, &state))
            return false;
        first = next;
        offset += length;
    }
    return true;
}

}  // namespace

std::optional<std::string> keyToCharacter(long long keyCode) {
    if (keyCode < 0 || keyCode > 65535)
        return std::nullopt;  // never wrap a stored value into another key
    if (specialKey(keyCode))
        return std::nullopt;
    const auto position = platform::KeyPositions::linuxFromCarbon(keyCode);
    if (!position)
        return std::nullopt;
    const auto layout = keyboardLayout();
    if (!layout)
        return std::nullopt;
    auto text = layout->character(*position);
    if (!text || !isOneCharacter(*text))
        return std::nullopt;
    return text;
}

std::shared_ptr<const platform::KeyboardLayout> keyboardLayout() {
    auto& current = installed();
    if (!current.layout && !current.looked && current.read) {
        followKeyboardChanges();
        current.looked = true;
        current.layout = current.read();
    }
    return current.layout;
}

void setKeyboardLayout(std::shared_ptr<const platform::KeyboardLayout> layout) {
    // Null goes back to the system layout, read again on next use.
    auto& current = installed();
    current = InstalledLayout{std::move(layout), false, std::move(current.read)};
}

void followKeyboardLayout(std::function<std::shared_ptr<const platform::KeyboardLayout>()> read) {
    installed() = InstalledLayout{nullptr, false, std::move(read)};
}

}  // namespace GlobalShortcuts
