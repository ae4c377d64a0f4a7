#pragma once

#include <string_view>

namespace platform {

// Whether the desktop starts the program when the user logs in, as the
// desktop's registry of login items reports it. Only `Enabled` counts as on.
enum class LoginItemStatus {
    NotRegistered = 0,
    Enabled = 1,
    RequiresApproval = 2,  // registered, but the user has yet to allow it
    NotFound = 3,          // the program itself cannot be found
};

// The program's entry in the desktop's login items. Main thread only.
//
//   if (service.status() != LoginItemStatus::Enabled) service.register_();   // may throw platform::Error
class LoginItemService {
public:
    // The argument the login item starts the program with, so that the
    // program can tell a start at login from one by the user.
    static constexpr std::string_view kLaunchedAtLoginArgument = "--launched-at-login";

    virtual ~LoginItemService() = default;

    // Asks the registry each time; never fails (a registry that cannot be
    // read reports the program as not registered).
    virtual LoginItemStatus status() const = 0;
    // Both throw platform::Error with a description a user can read.
    // Registering while registered replaces the entry in one step: after a
    // failure the old entry is still there.
    virtual void register_() = 0;
    virtual void unregister() = 0;
};

}  // namespace platform
