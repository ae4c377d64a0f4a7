#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "GlobalShortcuts/Event.h"

namespace GlobalShortcuts {

// The application-wide stream of keyboard and mouse events that local event
// monitors watch. The Qt event bridge feeds it every key and mouse-up event
// of the application before any window sees it; tests feed it directly.
// Main thread only.
class ApplicationEvents {
public:
    using Callback = std::function<std::optional<Event>(const Event&)>;
    using Token = std::uint64_t;

    // Runs the event through every monitor watching its type, in the order
    // they were added; each may replace it or swallow it (none). Returns the
    // event to deliver, or none when a monitor swallowed it.
    static std::optional<Event> dispatch(Event event);

    static Token addMonitor(EventTypeMask mask, Callback callback);
    // Removing a token that is gone already does nothing.
    static void removeMonitor(Token token);
    static bool hasMonitor(Token token);
    static std::size_t monitorCount();
};

}  // namespace GlobalShortcuts
