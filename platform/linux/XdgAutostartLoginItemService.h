#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/LoginItemService.h"

namespace platform {

// The login item as an XDG autostart entry: the desktop session starts every
// program named by a desktop entry in $XDG_CONFIG_HOME/autostart/. Registering
// writes quillary.desktop there (atomically, mode 0600, the folder made when
// missing) with an Exec line that runs this executable with
// kLaunchedAtLoginArgument; unregistering removes it.
//
// An entry counts as enabled only while it starts this executable and is not
// hidden or switched off by the desktop's own autostart settings, so a file
// of that name written by hand for something else reads as off.
class XdgAutostartLoginItemService final : public LoginItemService {
public:
    // The entry file under the user's configuration folder, for the running
    // executable (/proc/self/exe).
    XdgAutostartLoginItemService();
    // Any entry file and executable (tests). An empty executable is one that
    // cannot be found: status NotFound, registering fails.
    XdgAutostartLoginItemService(std::filesystem::path entryFile, std::filesystem::path executable);

    static std::filesystem::path defaultEntryFile();
    const std::filesystem::path& entryFile() const { return entryFile_; }
    const std::filesystem::path& executable() const { return executable_; }

    LoginItemStatus status() const override;
    void register_() override;
    void unregister() override;

    // The entry's text for `executable`, or nothing when the path holds a
    // control character that a desktop entry cannot carry.
    static std::optional<std::string> entryText(const std::filesystem::path& executable);

    // Desktop Entry rules for the Exec key. `execValue` gives the value as it
    // is written in the file: each argument quoted when it needs to be, "%"
    // doubled, then escaped as a string value. `execArguments` reads such a
    // value back into its arguments, or nothing when its quoting is broken.
    static std::optional<std::string> execValue(const std::vector<std::string>& arguments);
    static std::optional<std::vector<std::string>> execArguments(std::string_view value);

private:
    std::filesystem::path entryFile_;
    std::filesystem::path executable_;
};

}  // namespace platform
