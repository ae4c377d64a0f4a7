#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/AnalyticsSink.h"
#include "platform/Logger.h"

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

// Collects log lines while it exists.
class CapturedLog {
public:
    CapturedLog() : previous_(platform::Logger::setSink(sink_)) {}
    ~CapturedLog() { platform::Logger::setSink(previous_); }

    bool contains(std::string_view fragment) const {
        for (const auto& line : sink_->lines)
            if (line.find(fragment) != std::string::npos) return true;
        return false;
    }

private:
    struct Sink final : platform::LogSink {
        void write(platform::LogLevel, std::string_view, std::string_view, std::string_view message) override {
            lines.emplace_back(message);
        }
        std::vector<std::string> lines;
    };
    std::shared_ptr<Sink> sink_ = std::make_shared<Sink>();
    std::shared_ptr<platform::LogSink> previous_;
};

}  // namespace core::testing
