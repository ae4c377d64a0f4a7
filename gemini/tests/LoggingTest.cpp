#include <gtest/gtest.h>

#include "testsupport/LogCapture.h"
#include "gemini/Logging.h"

namespace gemini {
namespace {

// Restores the process's own (empty) launch arguments after each test.
class LoggingTest : public ::testing::Test {
protected:
    ~LoggingTest() override { Logging::setLaunchArguments({}); }
};

TEST_F(LoggingTest, NetworkAndVerboseStaySilentWithoutTheArgument) {
    Logging::setLaunchArguments({"quillary", "-GeminiClientDebugLogEnabledX", "GeminiClientDebugLogEnabled"});
    const testsupport::LogCapture log;
    Logging::default_()->error("d");
    Logging::network()->error("n");
    Logging::verbose()->debug("v");
    EXPECT_EQ(log.messages(), std::vector<std::string>{"d"});
    EXPECT_EQ(Logging::default_()->subsystem(), kClientIdentifier);
}

TEST_F(LoggingTest, TheDebugArgumentSwitchesThemOn) {
    const char* argv[] = {"quillary", "-GeminiClientDebugLogEnabled"};
    Logging::setLaunchArguments(2, argv);
    const testsupport::LogCapture log;
    Logging::network()->debug("n");
    Logging::verbose()->debug("v");
    const auto lines = log.lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].category, "NetworkResponse");
    EXPECT_EQ(lines[1].category, "");
    EXPECT_EQ(lines[1].level, platform::LogLevel::Debug);
}

}  // namespace
}  // namespace gemini
