#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "platform/NotificationCenter.h"

namespace platform {

// The desktop's "an application was activated" events, as the workspace's
// own notification centre carries them. Backings (the X11 active-window
// watcher, the program's own activation) report the window that became
// active; observers hear each change of active window once, on the main
// thread. Main thread only.
class ApplicationActivationEvents {
public:
    static constexpr const char* notificationName = "NSWorkspaceDidActivateApplicationNotification";
    // User-info key of the activated window's id (std::uint64_t).
    static constexpr const char* windowKey = "window";

    ApplicationActivationEvents() = default;
    ApplicationActivationEvents(const ApplicationActivationEvents&) = delete;
    ApplicationActivationEvents& operator=(const ApplicationActivationEvents&) = delete;

    // Calls `onActivated` with the activated window's id for every
    // activation until the token goes.
    [[nodiscard]] ObserverToken addObserver(std::function<void(std::uint64_t window)> onActivated);

    // Reports that `window` became the active window; 0 reports that none
    // is (the desktop itself has the focus), which activates nothing. Two
    // backings may see the same activation (the window manager's property
    // and the program's own focus), so a report of the window already active
    // is dropped.
    void applicationActivated(std::uint64_t window);

    std::size_t observerCount() const { return center_.observerCount(); }

private:
    NotificationCenter center_;
    std::optional<std::uint64_t> active_;
};

}  // namespace platform
