#include "platform/x11/XkbKeyboardLayout.h"

#include <X11/Xlib-xcb.h>
#include <xcb/xcb.h>
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <optional>

namespace platform {

namespace {

constexpr int kX11KeyCodeOffset = 8;
constexpr int kLinuxKeyA = 30;

// The keymap the X server uses for its core keyboard, as the server holds
// it: rule names, setxkbmap options and per-device maps included.
xkb_keymap* serverKeymap(xkb_context* context, xcb_connection_t* connection) {
    if (xcb_connection_has_error(connection) ||
        !xkb_x11_setup_xkb_extension(connection, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
                                     XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, nullptr, nullptr))
        return nullptr;
    const std::int32_t device = xkb_x11_get_core_keyboard_device_id(connection);
    return device == -1 ? nullptr
                        : xkb_x11_keymap_new_from_device(context, connection, device, XKB_KEYMAP_COMPILE_NO_FLAGS);
}

xkb_keymap* serverKeymap(xkb_context* context) {
    if (!std::getenv("DISPLAY"))
        return nullptr;
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    xkb_keymap* keymap = serverKeymap(context, connection);
    xcb_disconnect(connection);
    return keymap;
}

// The spacing form of the accent a dead key puts on the next letter, which
// is what people see printed on the key.
const char* spacingAccent(xkb_keysym_t symbol) {
    switch (symbol) {
        case XKB_KEY_dead_grave: return "`";
        case XKB_KEY_dead_acute: return "\u00B4";
        case XKB_KEY_dead_circumflex: return "^";
        case XKB_KEY_dead_tilde: return "~";
        case XKB_KEY_dead_macron: return "\u00AF";
        case XKB_KEY_dead_breve: return "\u02D8";
        case XKB_KEY_dead_abovedot: return "\u02D9";
        case XKB_KEY_dead_diaeresis: return "\u00A8";
        case XKB_KEY_dead_abovering: return "\u02DA";
        case XKB_KEY_dead_doubleacute: return "\u02DD";
        case XKB_KEY_dead_caron: return "\u02C7";
        case XKB_KEY_dead_cedilla: return "\u00B8";
        case XKB_KEY_dead_ogonek: return "\u02DB";
        case XKB_KEY_dead_iota: return "\u037A";
        default: return nullptr;
    }
}

const char* orNull(const std::string& text) { return text.empty() ? nullptr : text.c_str(); }

}  // namespace

XkbKeyboardLayout::XkbKeyboardLayout(xkb_context* context, xkb_keymap* keymap)
    : context_(context), keymap_(keymap) {
    // Prefer the first layout whose A key types a Latin letter.
    const auto layouts = xkb_keymap_num_layouts(keymap_);
    for (xkb_layout_index_t index = 0; index < layouts; ++index) {
        const xkb_keysym_t* symbols = nullptr;
        const int count = xkb_keymap_key_get_syms_by_level(keymap_, kLinuxKeyA + kX11KeyCodeOffset, index, 0,
                                                           &symbols);
        if (count == 1 && symbols[0] >= XKB_KEY_a && symbols[0] <= XKB_KEY_z) {
            layoutIndex_ = index;
            break;
        }
    }
}

XkbKeyboardLayout::~XkbKeyboardLayout() {
    xkb_keymap_unref(keymap_);
    xkb_context_unref(context_);
}

namespace {

xkb_keymap* compile(xkb_context* context, const XkbKeyboardLayout::Names& names) {
    const xkb_rule_names rules{orNull(names.rules), orNull(names.model), orNull(names.layout),
                               orNull(names.variant), orNull(names.options)};
    return xkb_keymap_new_from_names(context, &rules, XKB_KEYMAP_COMPILE_NO_FLAGS);
}

}  // namespace

std::shared_ptr<XkbKeyboardLayout> XkbKeyboardLayout::fromNames(const Names& names) {
    return compiled(xkb_context_new(XKB_CONTEXT_NO_FLAGS), names);
}

std::shared_ptr<XkbKeyboardLayout> XkbKeyboardLayout::compiled(xkb_context* context, const Names& names) {
    if (!context)
        return nullptr;
    xkb_keymap* keymap = compile(context, names);
    if (!keymap) {
        xkb_context_unref(context);
        return nullptr;
    }
    return std::shared_ptr<XkbKeyboardLayout>(new XkbKeyboardLayout(context, keymap));
}

std::shared_ptr<XkbKeyboardLayout> XkbKeyboardLayout::current() {
    if (xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS)) {
        if (xkb_keymap* keymap = serverKeymap(context))
            return std::shared_ptr<XkbKeyboardLayout>(new XkbKeyboardLayout(context, keymap));
        xkb_context_unref(context);
    }
    return us();
}

std::shared_ptr<XkbKeyboardLayout> XkbKeyboardLayout::ofDisplay(_XDisplay* display) {
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    if (!context)
        return nullptr;
    // Xlib's requests and these share the one connection underneath.
    if (xkb_keymap* keymap = serverKeymap(context, XGetXCBConnection(display)))
        return std::shared_ptr<XkbKeyboardLayout>(new XkbKeyboardLayout(context, keymap));
    xkb_context_unref(context);
    return nullptr;
}

std::shared_ptr<XkbKeyboardLayout> XkbKeyboardLayout::us() {
    // Every name given and the environment's XKB_DEFAULT_* ignored: the
    // result does not depend on how the process was started.
    return compiled(xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES), {"evdev", "pc105", "us", "", ""});
}

std::optional<std::string> XkbKeyboardLayout::character(int linuxKeyCode) const {
    const auto keyCode = static_cast<xkb_keycode_t>(linuxKeyCode + kX11KeyCodeOffset);
    if (linuxKeyCode < 0 || !xkb_keycode_is_legal_x11(keyCode))
        return std::nullopt;
    const xkb_keysym_t* symbols = nullptr;
    const int count = xkb_keymap_key_get_syms_by_level(keymap_, keyCode, layoutIndex_, 0, &symbols);
    if (count != 1)
        return std::nullopt;
    std::array<char, 64> buffer{};
    if (const auto accent = spacingAccent(symbols[0]))
        return std::string(accent);
    const int size = xkb_keysym_to_utf8(symbols[0], buffer.data(), buffer.size());
    if (size <= 1)
        return std::nullopt;  // no character (modifiers, dead keys, media keys)
    std::string text(buffer.data(), static_cast<std::size_t>(size - 1));
    if (text.size() == 1 && (static_cast<unsigned char>(text[0]) < 0x20 || text[0] == 0x7f))
        return std::nullopt;  // control characters are not something a key shows
    return text;
}

XkbKeyboardLayout::Typed XkbKeyboardLayout::typed(std::uint32_t x11KeyCode, std::uint32_t state) const {
    Typed result;
    if (!xkb_keycode_is_legal_x11(x11KeyCode))
        return result;
    xkb_state* keyState = xkb_state_new(keymap_);
    if (!keyState)
        return result;
    // A keymap read from the server names the eight core modifiers in the
    // order of the state's bits; the group is in bits 13 and 14.
    constexpr std::uint32_t kCoreModifiers = 0xff;
    xkb_state_update_mask(keyState, state & kCoreModifiers, 0, 0, 0, 0, (state >> 13) & 3);
    result.keysym = xkb_state_key_get_one_sym(keyState, x11KeyCode);
    std::array<char, 64> buffer{};
    const int size = xkb_state_key_get_utf8(keyState, x11KeyCode, buffer.data(), buffer.size());
    if (size > 0 && static_cast<std::size_t>(size) < buffer.size())
        result.text.assign(buffer.data(), static_cast<std::size_t>(size));
    xkb_state_unref(keyState);
    return result;
}

}  // namespace platform
