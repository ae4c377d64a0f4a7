#include "platform/x11/X11ClientIdentity.h"

#include <X11/extensions/XRes.h>

#include "platform/x11/X11ErrorTrap.h"

namespace platform::x11 {

std::optional<int> clientProcess(Display* display, unsigned long resource) {
    int event = 0, error = 0;
    if (resource == None || !XResQueryExtension(display, &event, &error))  // answered from Xlib's cache after the first
        return std::nullopt;
    XResClientIdSpec spec{resource, XRES_CLIENT_ID_PID_MASK};
    long count = 0;
    XResClientIdValue* ids = nullptr;
    // A server older than the query answers with an error, which the reply
    // wait hands to the trap: no extra round trip to look for it.
    X11ErrorTrap trap(display);
    std::optional<int> pid;
    if (XResQueryClientIds(display, 1, &spec, &count, &ids) == Success) {
        for (long i = 0; i < count; ++i)
            if (const pid_t value = XResGetClientPid(&ids[i]); value > 0)
                pid = static_cast<int>(value);
    }
    if (ids)
        XResClientIdsDestroy(count, ids);
    return pid;
}

bool sameClient(Display* display, unsigned long a, unsigned long b) {
    // The part of a resource id that names its client. The server gives
    // every client the same mask; Xlib's public view of the display keeps it
    // as `private4` (base, mask and next id are private3-5).
    const unsigned long mask = reinterpret_cast<_XPrivDisplay>(display)->private4;
    return (a & ~mask) == (b & ~mask);
}

}  // namespace platform::x11
