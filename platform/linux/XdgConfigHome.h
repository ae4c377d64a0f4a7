#pragma once

#include <filesystem>

namespace platform {

// The user's configuration folder: $XDG_CONFIG_HOME when it is an absolute
// path (the XDG base directory rules ignore a relative one), else
// $HOME/.config, else the temporary folder.
std::filesystem::path xdgConfigHome();

}  // namespace platform
