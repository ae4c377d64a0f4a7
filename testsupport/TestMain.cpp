#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

#include "platform/LibraryDefaults.h"
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

// A test that reached a library default (a forgotten fake transport would
// reach the network through it) fails, even where the code under test
// swallowed the exception that refused it.
class NoLibraryDefaults final : public ::testing::EmptyTestEventListener {
public:
    void OnTestStart(const ::testing::TestInfo&) override { before_ = platform::LibraryDefaults::refused().size(); }
    void OnTestEnd(const ::testing::TestInfo& test) override {
        const auto refused = platform::LibraryDefaults::refused();
        for (std::size_t i = before_; i < refused.size(); ++i) {
            std::fprintf(stderr, "%s.%s asked for %s: tests install every service they use\n", test.test_suite_name(),
                         test.name(), refused[i].c_str());
            failed_ = true;
        }
    }
    bool failed() const { return failed_; }

private:
    std::size_t before_ = 0;
    bool failed_ = false;
};

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
    platform::LibraryDefaults::forbid();
    ::testing::InitGoogleTest(&argc, argv);
    auto* noDefaults = new NoLibraryDefaults;  // the listener list owns it
    ::testing::UnitTest::GetInstance()->listeners().Append(noDefaults);
    int result = RUN_ALL_TESTS();
    if (noDefaults->failed() && result == 0) result = 1;
    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);
    return result;
}
