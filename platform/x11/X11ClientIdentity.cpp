#include "platform/x11/X11ClientIdentity.h"

#include <X11/extensions/XRes.h>

#include "platform/x11/X11ErrorTrap.h"

namespace platform::x11 {

namespace {

// The part of a resource id that names its client. The server gives every
// client the same mask; Xlib's public view of the display keeps it as
// `private4` (base, mask and next id are private3-5).
unsigned long clientBase(Display* display, unsigned long resource) {
    return resource & ~reinterpret_cast<_XPrivDisplay>(display)->private4;
}

}  // namespace

std::vector<std::optional<int>> clientProcesses(Display* display, const std::vector<unsigned long>& resources) {
    std::vector<std::optional<int>> pids(resources.size());
    int event = 0, error = 0;
    if (resources.empty() || !XResQueryExtension(display, &event, &error))  // from Xlib's cache after the first
        return pids;
    std::vector<XResClientIdSpec> specs;
    for (const unsigned long resource : resources)
        if (resource != None) specs.push_back({resource, XRES_CLIENT_ID_PID_MASK});  // 0 would ask for every client
    if (specs.empty())
        return pids;
    long count = 0;
    XResClientIdValue* ids = nullptr;
    // A server older than the query answers with an error, which the reply
    // wait hands to the trap: no extra round trip to look for it.
    X11ErrorTrap trap(display);
    if (XResQueryClientIds(display, static_cast<long>(specs.size()), specs.data(), &count, &ids) == Success) {
        // Each answer names the client, not the resource asked about.
        for (long i = 0; i < count; ++i) {
            const pid_t pid = XResGetClientPid(&ids[i]);
            for (std::size_t r = 0; r < resources.size(); ++r)
                if (pid > 0 && resources[r] != None && clientBase(display, resources[r]) == ids[i].spec.client)
                    pids[r] = static_cast<int>(pid);
        }
    }
    if (ids)
        XResClientIdsDestroy(count, ids);
    return pids;
}

bool sameClient(Display* display, unsigned long a, unsigned long b) {
    return clientBase(display, a) == clientBase(display, b);
}

bool sameProgram(Display* display, unsigned long a, std::optional<int> processA, unsigned long b,
                 std::optional<int> processB) {
    if (processA && processB)
        return *processA == *processB;
    return a != None && b != None && sameClient(display, a, b);
}

}  // namespace platform::x11
