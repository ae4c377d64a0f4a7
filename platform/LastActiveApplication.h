#pragma once

#include <optional>
#include <string>

namespace platform {

// What the core reads of the application that was frontmost when the panel
// last opened. On Linux the name is the application's name and the
// identifier its desktop-entry or executable name.
struct RunningApplicationInfo {
    std::optional<std::string> localizedName;
    std::optional<std::string> bundleIdentifier;
};

// The process-wide holder: the selection capture writes it before the panel
// is shown; the core only reads it. Absent until the first capture.
class LastActiveApplication {
public:
    static std::optional<RunningApplicationInfo> get();
    static void set(std::optional<RunningApplicationInfo> app);
};

}  // namespace platform
