#pragma once

#include <cstdint>

namespace platform::x11 {

// For an event read from the X connection (an xcb_generic_event_t): the
// window of a focus change that only a keyboard grab caused, that is a
// FocusIn or FocusOut whose mode is Grab or Ungrab; 0 for anything else.
// Such changes come and go with a hot key held down or a popup menu open,
// while the keyboard focus itself stays where it was.
std::uint64_t grabFocusChangeWindow(const void* xcbEvent);

}  // namespace platform::x11
