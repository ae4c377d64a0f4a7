#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/AnalyticsSink.h"
#include "platform/Logger.h"

namespace core::testing {

// Keeps every analytics event it is given.
class RecordingAnalyticsSink final : public platform::AnalyticsSink {
public:
    struct Event {
        std::string name;
        platform::AnalyticsProperties properties;
    };

    void capture(const std::string& event, const platform::AnalyticsProperties& properties) override {
        std::lock_guard lock(mutex_);
        events_.push_back({event, properties});
    }

    std::vector<Event> events() const {
        std::lock_guard lock(mutex_);
        return events_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<Event> events_;
};

// Installs itself as the log sink for its lifetime and keeps the lines.
class CapturedLog {
public:
    CapturedLog() : sink_(std::make_shared<Sink>()) { previous_ = platform::Logger::setSink(sink_); }
    ~CapturedLog() { platform::Logger::setSink(previous_); }
    CapturedLog(const CapturedLog&) = delete;
    CapturedLog& operator=(const CapturedLog&) = delete;

    std::vector<std::string> lines() const {
        std::lock_guard lock(sink_->mutex);
        return sink_->lines;
    }

    bool contains(std::string_view fragment) const {
        for (const auto& line : lines())
            if (line.find(fragment) != std::string::npos) return true;
        return false;
    }

private:
    struct Sink final : platform::LogSink {
        void write(platform::LogLevel, std::string_view, std::string_view, std::string_view message) override {
            std::lock_guard lock(mutex);
            lines.emplace_back(message);
        }
        std::mutex mutex;
        std::vector<std::string> lines;
    };
    std::shared_ptr<Sink> sink_;
    std::shared_ptr<platform::LogSink> previous_;
};

}  // namespace core::testing
