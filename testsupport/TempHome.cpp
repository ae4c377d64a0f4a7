#include "testsupport/TempHome.h"

#include <atomic>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace testsupport {
namespace {

std::filesystem::path makeHome() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quillary-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    std::filesystem::path home(pattern);
    for (const char* sub : {"config", "data", "cache"}) std::filesystem::create_directories(home / sub);
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
    setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
    setenv("XDG_CACHE_HOME", (home / "cache").c_str(), 1);
    return home;
}

}  // namespace

const std::filesystem::path& tempHome() {
    static const std::filesystem::path home = makeHome();
    return home;
}

std::filesystem::path freshDirectory(const char* prefix) {
    static std::atomic<int> counter{0};
    auto dir = tempHome() / (std::string(prefix) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(dir);
    return dir;
}

}  // namespace testsupport
