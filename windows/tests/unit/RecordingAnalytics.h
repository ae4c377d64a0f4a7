#pragma once

#include <string>
#include <vector>

#include "platform/AnalyticsSink.h"

namespace windows::testing {

// The events a help window records, in order.
struct RecordingAnalytics final : platform::AnalyticsSink {
    struct Event {
        std::string name;
        platform::AnalyticsProperties properties;
    };
    void capture(const std::string& event, const platform::AnalyticsProperties& properties) override {
        events.push_back({event, properties});
    }
    std::vector<std::string> names() const {
        std::vector<std::string> result;
        for (const Event& event : events) result.push_back(event.name);
        return result;
    }
    std::vector<Event> events;
};

}  // namespace windows::testing
