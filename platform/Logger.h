#pragma once

#include <cstddef>
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

// The longest piece of outside text a log line carries, in bytes.
inline constexpr std::size_t kOutsideTextLogBytes = 300;

// Text the program did not write itself (a provider's reply, a parser's
// excerpt of a file, a stored value, another program's name or error) as a
// log line may carry it: control characters and bytes that are no UTF-8 are
// escaped ("\x1b", "\n", "\u009b"), so nothing in it acts on the terminal the
// log goes to, and a text longer than kOutsideTextLogBytes is cut there,
// between characters, with its full length noted ("… (808123 bytes in all)").
std::string outsideText(std::string_view text);

}  // namespace platform
