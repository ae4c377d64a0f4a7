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
// writes quillary.desktop there (atomically over any entry already there, mode
// 0600, the folder made when missing) with an Exec line that runs this
// executable with kLaunchedAtLoginArgument; unregistering removes it.
//
// An entry counts as enabled while it carries the marker argument and is not
// hidden or switched off by the desktop's own autostart settings, whichever
// path it names: one written by another build or before an upgrade is still
// ours, and a file of that name written by hand for something else is not.
class XdgAutostartLoginItemService final : public LoginItemService {
public:
    // The entry file under the user's configuration folder, for the running
    // executable (runningExecutable()).
    XdgAutostartLoginItemService();
    // Any entry file and executable (tests). Registering fails while the
    // executable is empty or no file is there.
    XdgAutostartLoginItemService(std::filesystem::path entryFile, std::filesystem::path executable);

    static std::filesystem::path defaultEntryFile();
    // The absolute path of the program that `exeLink` (a /proc/PID/exe link)
    // runs. Once that file is replaced while the program runs (an upgrade, a
    // rebuild), the link reads "PATH (deleted)": the path is then PATH, where
    // the new file stands. Empty when the link cannot be read.
    static std::filesystem::path runningExecutable(const std::filesystem::path& exeLink = "/proc/self/exe");
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
