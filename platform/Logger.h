#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace platform {

enum class LogLevel { Debug, Info, Error };

// Where log lines end up. The program writes to standard error; tests install
// a capturing sink.
class LogSink {
public:
    virtual ~LogSink() = default;
    virtual void write(LogLevel level, std::string_view subsystem, std::string_view category,
                       std::string_view message) = 0;
};

// A named logger (subsystem + category) writing to the process-wide sink:
// standard error in the program, a capture in tests. A disabled logger
// discards every message. Cheap to copy; thread-safe.
class Logger {
public:
    Logger(std::string subsystem, std::string category, bool enabled = true);

    static Logger disabled();

    void debug(std::string_view message) const { log(LogLevel::Debug, message); }
    void info(std::string_view message) const { log(LogLevel::Info, message); }
    void error(std::string_view message) const { log(LogLevel::Error, message); }
    void log(LogLevel level, std::string_view message) const;

    bool isEnabled() const { return enabled_; }
    const std::string& subsystem() const { return subsystem_; }
    const std::string& category() const { return category_; }

    // Replaces the process-wide sink; returns the previous one. Passing null
    // restores the standard-error sink.
    static std::shared_ptr<LogSink> setSink(std::shared_ptr<LogSink> sink);
    static std::shared_ptr<LogSink> sink();

private:
    std::string subsystem_;
    std::string category_;
    bool enabled_;
};

// The plain console line the application writes ("✅ Microphone access granted").
void consoleLine(std::string_view message);

}  // namespace platform
