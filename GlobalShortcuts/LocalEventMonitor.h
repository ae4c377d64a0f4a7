#pragma once

#include <optional>

#include "GlobalShortcuts/ApplicationEvents.h"

namespace GlobalShortcuts {

// Watches the application's own events of some types while it lives: the
// callback sees each one first and returns the event to deliver (the same,
// another) or none to swallow it. Releasing the monitor stops it.
// Main thread only.
class LocalEventMonitor {
public:
    LocalEventMonitor(EventTypeMask events, ApplicationEvents::Callback callback);
    ~LocalEventMonitor();
    LocalEventMonitor(const LocalEventMonitor&) = delete;
    LocalEventMonitor& operator=(const LocalEventMonitor&) = delete;

    // Starts watching (once; later calls do nothing). In a Qt application it
    // also hooks the application's event stream up on first use.
    LocalEventMonitor& start();

    bool isActive() const;

private:
    EventTypeMask events_;
    ApplicationEvents::Callback callback_;
    std::optional<ApplicationEvents::Token> monitor_;
};

}  // namespace GlobalShortcuts
