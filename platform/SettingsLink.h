#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// A page of the desktop's own settings that the program sends the user to.
enum class SettingsPane { Accessibility, Microphone };

// Opens a page of the desktop's settings, as a link into the system's
// preferences does. Main thread only.
class SettingsLink {
public:
    virtual ~SettingsLink() = default;

    // Starts the desktop's settings on `pane` and returns at once; false (with
    // a log line) when no settings program is known for this desktop or it
    // could not be started.
    virtual bool open(SettingsPane pane) = 0;

    // The command that shows `pane` on the desktop named by
    // `currentDesktop` ($XDG_CURRENT_DESKTOP: names separated by colons), or
    // nothing for a desktop without a known settings program.
    static std::optional<std::vector<std::string>> commandFor(SettingsPane pane, std::string_view currentDesktop);
};

}  // namespace platform
