#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

#include "platform/fake/InMemoryUserDefaults.h"
#include "testsupport/TempHome.h"

namespace {

// CTest starts x11 test programs with this argument (see quillary_test).
constexpr const char* kNeedsDisplay = "--quillary-needs-display";
// What CTest reads as "skipped" for those programs (SKIP_RETURN_CODE).
constexpr int kSkipped = 77;

// Takes `argument` out of argv; true when it was there.
bool takeArgument(int& argc, char** argv, const char* argument) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], argument) != 0)
            continue;
        for (int j = i; j < argc; ++j)
            argv[j] = argv[j + 1];
        --argc;
        return true;
    }
    return false;
}

bool displayGiven() {
    const char* display = std::getenv("DISPLAY");
    return display && *display;
}

}  // namespace

int main(int argc, char** argv) {
    // An x11 program without a display is skipped as a whole, which CTest
    // reports as skipped rather than passed. Where a display was promised
    // (scripts/test starts one and sets QUILLARY_REQUIRE_DISPLAY), its
    // absence is a failure instead: every x11 test would be skipped unseen.
    if (takeArgument(argc, argv, kNeedsDisplay) && !displayGiven()) {
        if (const char* required = std::getenv("QUILLARY_REQUIRE_DISPLAY"); required && *required) {
            std::fprintf(stderr, "%s: DISPLAY is not set, though QUILLARY_REQUIRE_DISPLAY says a display was started\n",
                         argv[0]);
            return 1;
        }
        std::fprintf(stderr, "%s: skipped, DISPLAY is not set (X11 tests need an X server)\n", argv[0]);
        return kSkipped;
    }
    // Point every per-user folder at a fresh temporary one before any code
    // under test can look at the environment.
    const auto home = testsupport::tempHome();
    // The program installs its settings store at start-up; tests get one in
    // memory unless they install their own.
    platform::UserDefaults::setStandard(std::make_shared<platform::InMemoryUserDefaults>());
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);
    return result;
}
