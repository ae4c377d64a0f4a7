#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/AnalyticsSink.h"
#include "testsupport/LogCapture.h"

namespace core::testing {

struct RecordedEvent {
    std::string name;
    platform::AnalyticsProperties properties;
};

// Keeps every analytics event it is given (single-threaded tests).
struct RecordingAnalyticsSink final : platform::AnalyticsSink {
    void capture(const std::string& event, const platform::AnalyticsProperties& properties) override {
        events.push_back({event, properties});
    }
    std::vector<RecordedEvent> events;
};

using CapturedLog = testsupport::LogCapture;

}  // namespace core::testing
