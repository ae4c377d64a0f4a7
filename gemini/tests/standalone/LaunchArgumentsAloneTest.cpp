// The Gemini client's debug logging in a program that never hands over its
// arguments: the process's own launch arguments decide. CTest runs this
// program once with the debug argument and once without, each run keeping
// the case it is about.
#include <gtest/gtest.h>

#include "gemini/Logging.h"

namespace {

TEST(LaunchArguments, TheDebugArgumentTurnsTheVerboseLoggerOn) {
    EXPECT_TRUE(gemini::Logging::verbose()->isEnabled());
}

TEST(LaunchArguments, WithoutItTheVerboseLoggerStaysOff) {
    EXPECT_FALSE(gemini::Logging::verbose()->isEnabled());
}

}  // namespace
