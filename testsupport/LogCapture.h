#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Logger.h"

namespace testsupport {

struct LogLine {
    platform::LogLevel level;
    std::string category;
    std::string message;
};

// Captures every log line while alive and restores the previous sink after.
// Safe against lines written from other threads.
class LogCapture {
public:
    LogCapture() : sink_(std::make_shared<Sink>()) { previous_ = platform::Logger::setSink(sink_); }
    ~LogCapture() { platform::Logger::setSink(previous_); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<LogLine> lines() const {
        std::lock_guard lock(sink_->mutex);
        return sink_->lines;
    }
    std::vector<std::string> messages() const {
        std::vector<std::string> out;
        for (const auto& l : lines()) out.push_back(l.message);
        return out;
    }
    bool contains(std::string_view fragment) const {
        for (const auto& l : lines())
            if (l.message.find(fragment) != std::string::npos) return true;
        return false;
    }
    std::vector<std::string> errors() const {
        std::vector<std::string> out;
        for (const auto& l : lines())
            if (l.level == platform::LogLevel::Error) out.push_back(l.message);
        return out;
    }

private:
    struct Sink : platform::LogSink {
        void write(platform::LogLevel level, std::string_view, std::string_view category,
                   std::string_view message) override {
            std::lock_guard lock(mutex);
            lines.push_back({level, std::string(category), std::string(message)});
        }
        mutable std::mutex mutex;
        std::vector<LogLine> lines;
    };
    std::shared_ptr<Sink> sink_;
    std::shared_ptr<platform::LogSink> previous_;
};

}  // namespace testsupport
