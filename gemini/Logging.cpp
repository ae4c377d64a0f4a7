#include "gemini/Logging.h"

#include <algorithm>
#include <fstream>
#include <mutex>
#include <optional>

#include "platform/LibraryDefaults.h"

namespace gemini {
namespace {

struct LoggingState {
    std::mutex mutex;
    std::optional<std::vector<std::string>> arguments;  // none: the program never set them
    std::shared_ptr<const platform::Logger> defaultLogger;
    std::shared_ptr<const platform::Logger> networkLogger;
    std::shared_ptr<const platform::Logger> verboseLogger;
};

LoggingState& state() {
    static LoggingState s;
    return s;
}

// The process's own arguments, NUL-separated in /proc/self/cmdline; none
// when it cannot be read.
std::shared_ptr<const std::vector<std::string>> readOwnArguments() {
    auto arguments = std::make_shared<std::vector<std::string>>();
    std::ifstream file("/proc/self/cmdline", std::ios::binary);
    for (std::string argument; std::getline(file, argument, '\0');) arguments->push_back(std::move(argument));
    return arguments;
}

// A program that never set its arguments gets the process's own: the
// library's default, read once.
const std::vector<std::string>& ownArguments() {
    static const auto arguments = platform::LibraryDefaults::make<const std::vector<std::string>>(
        "the launch arguments", &readOwnArguments, platform::LibraryDefaults::Ending::nothing);
    return *arguments;
}

bool debugArgumentGiven(const std::optional<std::vector<std::string>>& given) {
    const auto& arguments = given ? *given : ownArguments();
    return std::find(arguments.begin(), arguments.end(), kDebugLogArgument) != arguments.end();
}

// The test main's stand-in for arguments nobody set: none, as before the
// default existed.
[[maybe_unused]] const bool standIn = platform::LibraryDefaults::addStandIn([] {
    std::lock_guard lock(state().mutex);
    if (!state().arguments) state().arguments.emplace();
});

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
