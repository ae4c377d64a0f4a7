#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <system_error>

#include "platform/LibraryDefaults.h"
#include "platform/fake/InMemoryUserDefaults.h"
#include "testsupport/NeedsDisplay.h"
#include "testsupport/TempHome.h"

namespace {

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

}  // namespace

int main(int argc, char** argv) {
    // An x11 program without a display is skipped as a whole, which CTest
    // reports as skipped rather than passed.
    if (const auto status = testsupport::endWithoutDisplay(argc, argv))
        return *status;
    // Point every per-user folder at a fresh temporary one before any code
    // under test can look at the environment.
    const auto home = testsupport::tempHome();
    // The program installs its settings store at start-up; tests get one in
    // memory unless they install their own.
    platform::UserDefaults::setStandard(std::make_shared<platform::InMemoryUserDefaults>());
    // What the other slots gave before they had defaults: the hot-key
    // backend without a display, an analytics sink that drops, empty launch
    // arguments. A test that needs another installs it.
    platform::LibraryDefaults::installStandIns();
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
