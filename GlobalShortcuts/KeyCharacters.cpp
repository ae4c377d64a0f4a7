#include "GlobalShortcuts/KeyCharacters.h"

#include <utf8proc.h>

#include <exception>
#include <mutex>
#include <string>

#include "GlobalShortcuts/SpecialKey.h"
#include "platform/KeyPositions.h"
#include "platform/LibraryDefaults.h"
#include "platform/Logger.h"
#include "platform/NotificationCenter.h"
#include "platform/x11/XkbKeyboardLayout.h"

namespace GlobalShortcuts {

namespace {

using LayoutReader = std::function<std::shared_ptr<const platform::KeyboardLayout>()>;

struct InstalledLayout {
    std::shared_ptr<const platform::KeyboardLayout> layout;
    bool looked = false;  // the source was asked (its layout may not exist)
    LayoutReader read;    // the installed source; none: the library's default
};

// A source was installed once: after it is uninstalled (the program's end)
// no default is made any more.
bool sourceEverInstalled = false;

// Keys are described from any thread (menus, recorders, logs).
std::mutex& installedMutex() {
    static std::mutex mutex;
    return mutex;
}

InstalledLayout& installed() {
    static InstalledLayout instance;
    return instance;
}

// The layout of a program that installed no source: the X display's when
// one is open, otherwise an explicit US layout, so a key never shows as a
// replacement character. Read once: such a program hears of no keyboard
// change.
std::shared_ptr<const platform::KeyboardLayout> defaultLayout() {
    static const auto layout = platform::LibraryDefaults::make<const platform::KeyboardLayout>(
        "the keyboard layout",
        []() -> std::shared_ptr<const platform::KeyboardLayout> { return platform::XkbKeyboardLayout::current(); },
        platform::LibraryDefaults::Ending::nothing);
    return layout;
}

std::shared_ptr<const platform::KeyboardLayout> usLayout() {
    static const std::shared_ptr<const platform::KeyboardLayout> layout = platform::XkbKeyboardLayout::us();
    return layout;
}

// The source's layout is read again after the server's keyboard changed; a
// layout installed by hand stays.
void followKeyboardChanges() {
    static platform::ObserverToken observer = platform::NotificationCenter::defaultCenter().addObserver(
        std::string(platform::kKeyboardMappingDidChange), [](const platform::Notification&) {
            std::lock_guard lock(installedMutex());
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
    // Outside the lock: the notification centre calls back under its own.
    followKeyboardChanges();
    std::lock_guard lock(installedMutex());
    auto& current = installed();
    if (!current.layout && !current.looked) {
        std::shared_ptr<const platform::KeyboardLayout> layout;
        try {
            if (current.read)
                layout = current.read();
            else if (!sourceEverInstalled)
                layout = defaultLayout();
        } catch (const std::exception& error) {
            platform::Logger("quillary", "hotkeys")
                .error(std::string("The keyboard layout could not be read, keys are named as on a US keyboard: ") +
                       platform::outsideText(error.what()));
        }
        // Named on a US keyboard rather than not at all; and no lookup after
        // a failure goes without.
        current.layout = layout ? std::move(layout) : usLayout();
        current.looked = true;
    }
    return current.layout;
}

void setKeyboardLayout(std::shared_ptr<const platform::KeyboardLayout> layout) {
    // Null goes back to the source's layout, read again on next use.
    std::lock_guard lock(installedMutex());
    auto& current = installed();
    current = InstalledLayout{std::move(layout), false, std::move(current.read)};
}

void followKeyboardLayout(LayoutReader read) {
    std::lock_guard lock(installedMutex());
    if (read)
        sourceEverInstalled = true;
    installed() = InstalledLayout{nullptr, false, std::move(read)};
}

}  // namespace GlobalShortcuts
