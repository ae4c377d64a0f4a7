#include "testsupport/NeedsDisplay.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace testsupport {
namespace {

constexpr const char* kNeedsDisplay = "--quillary-needs-display";
constexpr int kSkipped = 77;  // SKIP_RETURN_CODE of those programs

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

std::optional<int> endWithoutDisplay(int& argc, char** argv) {
    if (!takeArgument(argc, argv, kNeedsDisplay) || displayGiven())
        return std::nullopt;
    if (const char* required = std::getenv("QUILLARY_REQUIRE_DISPLAY"); required && *required) {
        std::fprintf(stderr, "%s: DISPLAY is not set, though QUILLARY_REQUIRE_DISPLAY says a display was started\n",
                     argv[0]);
        return 1;
    }
    std::fprintf(stderr, "%s: skipped, DISPLAY is not set (X11 tests need an X server)\n", argv[0]);
    return kSkipped;
}

}  // namespace testsupport
