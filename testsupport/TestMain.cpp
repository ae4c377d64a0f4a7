#include <gtest/gtest.h>

#include <filesystem>
#include <system_error>

#include "testsupport/TempHome.h"

int main(int argc, char** argv) {
    // Point every per-user folder at a fresh temporary one before any code
    // under test can look at the environment.
    const auto home = testsupport::tempHome();
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);
    return result;
}
