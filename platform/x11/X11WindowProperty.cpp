#include "platform/x11/X11WindowProperty.h"

namespace platform::x11 {

std::optional<unsigned long> singleItemProperty(Display* display, Window window, Atom property, Atom type) {
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    std::optional<unsigned long> result;
    if (XGetWindowProperty(display, window, property, 0, 1, False, type, &actualType, &format, &count, &remaining,
                           &data) == Success &&
        data) {
        // Xlib hands 32-bit items over as longs.
        if (actualType == type && format == 32 && count == 1)
            result = *reinterpret_cast<unsigned long*>(data);
        XFree(data);
    }
    return result;
}

}  // namespace platform::x11
