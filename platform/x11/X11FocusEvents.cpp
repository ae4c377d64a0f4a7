#include "platform/x11/X11FocusEvents.h"

#include <xcb/xcb.h>

namespace platform::x11 {

std::uint64_t grabFocusChangeWindow(const void* xcbEvent) {
    if (!xcbEvent) return 0;
    const auto* generic = static_cast<const xcb_generic_event_t*>(xcbEvent);
    const std::uint8_t type = generic->response_type & 0x7f;  // without the "sent by a client" bit
    if (type != XCB_FOCUS_IN && type != XCB_FOCUS_OUT) return 0;
    // FocusIn and FocusOut share one layout.
    const auto* focus = static_cast<const xcb_focus_in_event_t*>(xcbEvent);
    if (focus->mode != XCB_NOTIFY_MODE_GRAB && focus->mode != XCB_NOTIFY_MODE_UNGRAB) return 0;
    return focus->event;
}

}  // namespace platform::x11
