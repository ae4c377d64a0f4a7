#pragma once

#include <cstdint>
#include <optional>

namespace platform::x11 {

// A key press or release as the X server sent it: key code, modifier and
// group bits, server time.
struct KeyEvent {
    bool press = true;
    std::uint32_t keyCode = 0;
    std::uint32_t state = 0;
    std::uint32_t time = 0;
};

// For an event read from the X connection (an xcb_generic_event_t): the key
// event it is, or none for any other event.
std::optional<KeyEvent> keyEvent(const void* xcbEvent);

}  // namespace platform::x11
