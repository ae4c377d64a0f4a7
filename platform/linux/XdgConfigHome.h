#pragma once

#include <filesystem>

namespace platform {

// The user's home folder: $HOME when it is an absolute path, else the home
// folder the password database gives this user. Throws platform::Error when
// neither gives one: what the program keeps (API keys) must never go to a
// folder other users can write, such as the shared temporary folder.
std::filesystem::path userHome();
// The same rule over its two inputs, either of them null when missing.
std::filesystem::path userHome(const char* homeVariable, const char* passwordDatabaseHome);

// The user's configuration folder: $XDG_CONFIG_HOME when it is an absolute
// path (the XDG base directory rules ignore a relative one), else
// ~/.config.
std::filesystem::path xdgConfigHome();
// The user's data folder: $XDG_DATA_HOME by the same rule, else
// ~/.local/share.
std::filesystem::path xdgDataHome();

}  // namespace platform
