#pragma once

// What the x11 tests share: they press real keys with xdotool on the X
// server that scripts/test starts, and skip where there is none.
//
//   void SetUp() override {
//       QUILLARY_SKIP_WITHOUT_X11_KEYS();
//       ...
//   }
//   ASSERT_TRUE(testsupport::xdotool("key super+shift+c"));

#include <cstdlib>
#include <optional>
#include <string>

namespace testsupport {

// Why real keys cannot be pressed here (no DISPLAY, no xdotool), or nothing.
inline std::optional<std::string> missingX11Keys() {
    if (!std::getenv("DISPLAY")) return "no DISPLAY";
    if (std::system("command -v xdotool >/dev/null 2>&1") != 0) return "no xdotool";
    return std::nullopt;
}

// Runs xdotool with `arguments` (its complaints about the window manager
// silenced); false when it failed.
inline bool xdotool(const std::string& arguments) {
    return std::system(("xdotool " + arguments + " 2>/dev/null").c_str()) == 0;
}

}  // namespace testsupport

#define QUILLARY_SKIP_WITHOUT_X11_KEYS()                                          \
    do {                                                                          \
        if (const auto quillaryMissing = ::testsupport::missingX11Keys())         \
            GTEST_SKIP() << *quillaryMissing;                                     \
    } while (false)
