#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/KeyboardLayout.h"

struct _XDisplay;
struct xkb_context;
struct xkb_keymap;

namespace platform {

// A keyboard layout through xkbcommon: the keymap the X server holds for its
// core keyboard, or one compiled from rule names (rules, model, layout,
// variant, options). Of a multi-layout setting it uses the first layout that
// types Latin letters, as shortcut texts are shown with the ASCII-capable
// layout. A dead key shows the spacing form of its accent.
class XkbKeyboardLayout final : public KeyboardLayout {
public:
    struct Names {
        std::string rules, model, layout, variant, options;  // empty: xkbcommon's default
    };

    // Null when xkbcommon cannot compile the names.
    static std::shared_ptr<XkbKeyboardLayout> fromNames(const Names& names);

    // The keymap the X server uses for the core keyboard (read from the
    // server, so setxkbmap options and per-device maps count), or us() when
    // there is no display; null when neither compiles.
    static std::shared_ptr<XkbKeyboardLayout> current();
    // The same, read through an open Xlib connection; null when the server
    // has no XKB or the keymap does not compile.
    static std::shared_ptr<XkbKeyboardLayout> ofDisplay(_XDisplay* display);
    // The US layout (evdev rules, pc105), whatever XKB_DEFAULT_* say.
    static std::shared_ptr<XkbKeyboardLayout> us();

    ~XkbKeyboardLayout() override;
    XkbKeyboardLayout(const XkbKeyboardLayout&) = delete;
    XkbKeyboardLayout& operator=(const XkbKeyboardLayout&) = delete;

    std::optional<std::string> character(int linuxKeyCode) const override;

    // What the X key `x11KeyCode` types in the X modifier and group `state`
    // (the state of a key event): its symbol (0: none) and text.
    struct Typed {
        std::uint32_t keysym = 0;
        std::string text;
    };
    Typed typed(std::uint32_t x11KeyCode, std::uint32_t state) const;

private:
    XkbKeyboardLayout(xkb_context* context, xkb_keymap* keymap);
    // Takes `context` (null: none) and compiles `names` in it.
    static std::shared_ptr<XkbKeyboardLayout> compiled(xkb_context* context, const Names& names);

    xkb_context* context_;
    xkb_keymap* keymap_;
    unsigned layoutIndex_ = 0;
};

}  // namespace platform
