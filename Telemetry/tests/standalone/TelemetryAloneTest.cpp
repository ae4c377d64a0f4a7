// The analytics client used as a program of its own would use it: the
// shared client is there before any set-up and ignores what it is given.
#include <gtest/gtest.h>

#include <filesystem>

#include "Telemetry/TelemetrySDK.h"

namespace {

TEST(TelemetryAlone, TheSharedClientIgnoresCapturesUntilSetUp) {
    auto& client = telemetry::TelemetrySDK::shared();
    client.capture("Opened", {{"source", std::string("test")}});
    EXPECT_FALSE(client.isSetUp());
    EXPECT_EQ(client.queuedEventCount(), 0u);
    EXPECT_FALSE(std::filesystem::exists(client.folder()));
}

}  // namespace
