#include "platform/Logger.h"

#include <cstdio>
#include <mutex>
#include <utility>

namespace platform {
namespace {

class StderrSink final : public LogSink {
public:
    void write(LogLevel, std::string_view, std::string_view, std::string_view message) override {
        std::lock_guard lock(mutex_);
        std::fwrite(message.data(), 1, message.size(), stderr);
        std::fputc('\n', stderr);
        std::fflush(stderr);
    }

private:
    std::mutex mutex_;
};

std::mutex& sinkMutex() {
    static std::mutex m;
    return m;
}

std::shared_ptr<LogSink>& currentSink() {
    static std::shared_ptr<LogSink> s = std::make_shared<StderrSink>();
    return s;
}

}  // namespace

Logger::Logger(std::string subsystem, std::string category, bool enabled)
    : subsystem_(std::move(subsystem)), category_(std::move(category)), enabled_(enabled) {}

Logger Logger::disabled() { return Logger("", "", false); }

void Logger::log(LogLevel level, std::string_view message) const {
    if (!enabled_) return;
    if (auto s = sink()) s->write(level, subsystem_, category_, message);
}

std::shared_ptr<LogSink> Logger::setSink(std::shared_ptr<LogSink> sink) {
    std::lock_guard lock(sinkMutex());
    if (!sink) sink = std::make_shared<StderrSink>();
    std::swap(currentSink(), sink);
    return sink;
}

std::shared_ptr<LogSink> Logger::sink() {
    std::lock_guard lock(sinkMutex());
    return currentSink();
}

void consoleLine(std::string_view message) {
    static const Logger console("quillary", "console");
    console.info(message);
}

}  // namespace platform
