#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Logger.h"

namespace gemini {

// The client's own name: the subsystem of its loggers and the error domain of
// its own errors.
inline constexpr std::string_view kClientIdentifier = "com.quillary.GeminiClient";

// The process argument that switches on the network and verbose loggers.
inline constexpr std::string_view kDebugLogArgument = "-GeminiClientDebugLogEnabled";

// The client's three loggers. Each is made on first use, and the network and
// verbose loggers look at the launch arguments at that moment: without the
// debug argument they discard everything.
class Logging {
public:
    Logging() = delete;

    static std::shared_ptr<const platform::Logger> default_();
    static std::shared_ptr<const platform::Logger> network();
    static std::shared_ptr<const platform::Logger> verbose();

    // The application may hand its arguments over at start-up, before the
    // client logs anything; loggers made earlier are dropped so the next use
    // sees these arguments. A program that never does gets the process's own
    // launch arguments (a library default: see platform::LibraryDefaults).
    static void setLaunchArguments(int argc, const char* const* argv);
    static void setLaunchArguments(std::vector<std::string> arguments);
};

}  // namespace gemini
