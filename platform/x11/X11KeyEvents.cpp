#include "platform/x11/X11KeyEvents.h"

#include <xcb/xcb.h>

namespace platform::x11 {

std::optional<KeyEvent> keyEvent(const void* xcbEvent) {
    if (!xcbEvent) return std::nullopt;
    const auto* generic = static_cast<const xcb_generic_event_t*>(xcbEvent);
    const std::uint8_t type = generic->response_type & 0x7f;  // without the "sent by a client" bit
    if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE) return std::nullopt;
    // KeyPress and KeyRelease share one layout.
    const auto* key = static_cast<const xcb_key_press_event_t*>(xcbEvent);
    return KeyEvent{type == XCB_KEY_PRESS, key->detail, key->state, key->time};
}

}  // namespace platform::x11
