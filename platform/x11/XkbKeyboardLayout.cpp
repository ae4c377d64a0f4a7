#include "platform/x11/XkbKeyboardLayout.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <xkbcommon/xkbcommon.h>

#include <array>
#include <cstdlib>
#include <optional>
#include <vector>

namespace platform {

namespace {

constexpr int kX11KeyCodeOffset = 8;
constexpr int kLinuxKeyA = 30;

struct DisplayCloser {
    void operator()(Display* display) const { XCloseDisplay(display); }
};

// The rule names the X server compiled its keymap from: five strings, each
// ended by a NUL, in the root window's _XKB_RULES_NAMES property.
std::optional<XkbKeyboardLayout::Names> serverNames() {
    if (!std::getenv("DISPLAY"))
        return std::nullopt;
    const std::unique_ptr<Display, DisplayCloser> display(XOpenDisplay(nullptr));
    if (!display)
        return std::nullopt;
    const Atom property = XInternAtom(display.get(), "_XKB_RULES_NAMES", True);
    if (property == None)
        return std::nullopt;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    const int status = XGetWindowProperty(display.get(), DefaultRootWindow(display.get()), property, 0, 1024,
                                          False, XA_STRING, &type, &format, &count, &remaining, &data);
    if (status != Success || !data)
        return std::nullopt;
    const std::unique_ptr<unsigned char, decltype(&XFree)> owned(data, &XFree);
    if (type != XA_STRING || format != 8)
        return std::nullopt;
    std::vector<std::string> fields;
    std::string current;
    for (unsigned long i = 0; i < count; ++i) {
        if (data[i] == '\0') {
            fields.push_back(std::move(current));
            current.clear();
        } else {
            current += static_cast<char>(data[i]);
        }
    }
    if (!current.empty())
        fields.push_back(std::move(current));
    fields.resize(5);
    return XkbKeyboardLayout::Names{fields[0], fields[1], fields[2], fields[3], fields[4]};
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

std::shared_ptr<XkbKeyboardLayout> XkbKeyboardLayout::fromNames(const Names& names) {
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    if (!context)
        return nullptr;
    const xkb_rule_names rules{orNull(names.rules), orNull(names.model), orNull(names.layout),
                               orNull(names.variant), orNull(names.options)};
    xkb_keymap* keymap = xkb_keymap_new_from_names(context, &rules, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!keymap) {
        xkb_context_unref(context);
        return nullptr;
    }
    return std::shared_ptr<XkbKeyboardLayout>(new XkbKeyboardLayout(context, keymap));
}

std::shared_ptr<XkbKeyboardLayout> XkbKeyboardLayout::current() {
    if (const auto names = serverNames())
        if (auto layout = fromNames(*names))
            return layout;
    return fromNames({});
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
    const int size = xkb_keysym_to_utf8(symbols[0], buffer.data(), buffer.size());
    if (size <= 1)
        return std::nullopt;  // no character (modifiers, dead keys, media keys)
    std::string text(buffer.data(), static_cast<std::size_t>(size - 1));
    if (text.size() == 1 && (static_cast<unsigned char>(text[0]) < 0x20 || text[0] == 0x7f))
        return std::nullopt;  // control characters are not something a key shows
    return text;
}

}  // namespace platform
