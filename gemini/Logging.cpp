#include "gemini/Logging.h"

#include <algorithm>
#include <mutex>

namespace gemini {
namespace {

struct LoggingState {
    std::mutex mutex;
    std::vector<std::string> arguments;
    std::shared_ptr<const platform::Logger> defaultLogger;
    std::shared_ptr<const platform::Logger> networkLogger;
    std::shared_ptr<const platform::Logger> verboseLogger;
};

LoggingState& state() {
    static LoggingState s;
    return s;
}

bool debugArgumentGiven(const std::vector<std::string>& arguments) {
    return std::find(arguments.begin(), arguments.end(), kDebugLogArgument) != arguments.end();
}

std::shared_ptr<const platform::Logger> makeLogger(std::string_view category, bool enabled) {
    if (!enabled) return std::make_shared<const platform::Logger>(platform::Logger::disabled());
    return std::make_shared<const platform::Logger>(std::string(kClientIdentifier), std::string(category));
}

}  // namespace

std::shared_ptr<const platform::Logger> Logging::default_() {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    if (!s.defaultLogger) s.defaultLogger = makeLogger("", true);
    return s.defaultLogger;
}

std::shared_ptr<const platform::Logger> Logging::network() {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    if (!s.networkLogger) s.networkLogger = makeLogger("NetworkResponse", debugArgumentGiven(s.arguments));
    return s.networkLogger;
}

std::shared_ptr<const platform::Logger> Logging::verbose() {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    if (!s.verboseLogger) s.verboseLogger = makeLogger("", debugArgumentGiven(s.arguments));
    return s.verboseLogger;
}

void Logging::setLaunchArguments(int argc, const char* const* argv) {
    std::vector<std::string> arguments;
    for (int i = 0; i < argc; ++i)
        if (argv[i]) arguments.emplace_back(argv[i]);
    setLaunchArguments(std::move(arguments));
}

void Logging::setLaunchArguments(std::vector<std::string> arguments) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.arguments = std::move(arguments);
    s.defaultLogger.reset();
    s.networkLogger.reset();
    s.verboseLogger.reset();
}

}  // namespace gemini
