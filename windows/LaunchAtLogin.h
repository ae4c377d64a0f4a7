#pragma once

// Whether the desktop starts Quillary when the user logs in. The state lives
// only in the desktop's login items (platform::LoginItemService); nothing is
// stored here, and every read asks the registry again.
//
//   windows::LaunchAtLogin::setEnabled(true);        // logs a failure, never throws
//   bool on = windows::LaunchAtLogin::isEnabled();   // what the registry reports now
//   auto* toggle = new windows::LaunchAtLogin::Toggle([] { return new QLabel("Enabled"); });
//
// Main thread only.

#include <functional>
#include <memory>

#include "core/ObserverList.h"
#include "platform/LoginItemService.h"

namespace windows {

class LaunchAtLogin {
public:
    LaunchAtLogin() = delete;

    // On only while the registry reports the program as enabled (an item
    // waiting for the user's approval is off).
    static bool isEnabled();
    // Announces the change to Observable::shared() first. Switching on
    // registers again when already on, over the old entry; a failure
    // is logged as "Failed to enable launch at login: ..." (or "disable") and
    // goes no further.
    static void setEnabled(bool enabled);

    // Whether the login item started this process: the program's arguments,
    // handed over by setLaunchArguments, hold the login item's marker.
    static bool wasLaunchedAtLogin();
    static void setLaunchArguments(int argc, const char* const* argv);

    // The registry; until one is installed, the XDG autostart entry of this
    // executable. Null puts that default back.
    static std::shared_ptr<platform::LoginItemService> service();
    static void setService(std::shared_ptr<platform::LoginItemService> service);

    class Observable;
    class Toggle;  // windows/LaunchAtLoginToggle.h
};

// The one object that views observe: it tells them before every change of
// the registration, so they read the new state afterwards.
class LaunchAtLogin::Observable {
public:
    static Observable& shared();

    bool isEnabled() const { return LaunchAtLogin::isEnabled(); }
    void setIsEnabled(bool enabled) { LaunchAtLogin::setEnabled(enabled); }

    core::ObserverToken subscribe(std::function<void()> willChange) { return willChange_.subscribe(std::move(willChange)); }
    void unsubscribe(core::ObserverToken token) { willChange_.unsubscribe(token); }

private:
    friend class LaunchAtLogin;
    Observable() = default;
    core::ObserverList<> willChange_;
};

}  // namespace windows
