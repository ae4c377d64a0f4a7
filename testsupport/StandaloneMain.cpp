// The main of the library-user test programs: no service is installed, so
// the code under test meets the libraries' own defaults as a program that
// uses them alone would. Only the per-user folders are pointed at a fresh
// temporary one, before anything runs.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "testsupport/NeedsDisplay.h"
#include "testsupport/TempHome.h"

namespace {

void removeHome() {
    std::error_code ignored;
    std::filesystem::remove_all(testsupport::tempHome(), ignored);
}

}  // namespace

int main(int argc, char** argv) {
    if (const auto status = testsupport::endWithoutDisplay(argc, argv))
        return *status;
    (void)testsupport::tempHome();
    // Registered before any default is made, so it runs after the defaults'
    // exit step has written the pending settings into the folder.
    std::atexit(&removeHome);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
