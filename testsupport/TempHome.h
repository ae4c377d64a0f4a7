#pragma once

#include <filesystem>

namespace testsupport {

// The fresh folder that $HOME, $XDG_CONFIG_HOME, $XDG_DATA_HOME and
// $XDG_CACHE_HOME point into for this test process.
const std::filesystem::path& tempHome();

// A new empty folder below tempHome(), for tests that need their own.
std::filesystem::path freshDirectory(const char* prefix = "dir");

}  // namespace testsupport
