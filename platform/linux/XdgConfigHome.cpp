#include "platform/linux/XdgConfigHome.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/Error.h"

namespace platform {
namespace {

bool absolute(const char* path) { return path && *path == '/'; }

}  // namespace

std::filesystem::path userHome(const char* homeVariable, const char* passwordDatabaseHome) {
    if (absolute(homeVariable)) return homeVariable;
    if (absolute(passwordDatabaseHome)) return passwordDatabaseHome;
    throw Error("Quillary", ENOENT,
                "no home folder: HOME is not set and user " + std::to_string(::getuid()) +
                    " has no home folder in the password database, so there is no private place for the settings");
}

std::filesystem::path userHome() {
    const char* home = std::getenv("HOME");
    if (absolute(home)) return home;
    // getpwuid's result is shared by every thread; the reentrant form is not.
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    while (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == ERANGE &&
           buffer.size() < (1u << 20))
        buffer.resize(buffer.size() * 2);
    return userHome(home, found ? found->pw_dir : nullptr);
}

std::filesystem::path xdgConfigHome() {
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); absolute(xdg)) return xdg;
    return userHome() / ".config";
}

std::filesystem::path xdgDataHome() {
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); absolute(xdg)) return xdg;
    return userHome() / ".local" / "share";
}

}  // namespace platform
