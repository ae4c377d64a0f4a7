#include "platform/linux/XdgConfigHome.h"

#include <cstdlib>

namespace platform {

std::filesystem::path xdgConfigHome() {
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') return xdg;
    if (const char* home = std::getenv("HOME"); home && *home) return std::filesystem::path(home) / ".config";
    return std::filesystem::temp_directory_path();
}

}  // namespace platform
