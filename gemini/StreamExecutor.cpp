#include "gemini/StreamExecutor.h"

#include "gemini/Logging.h"
#include "platform/Logger.h"

namespace gemini {

std::shared_ptr<platform::Executor> StreamExecutor::shared() {
    static const std::shared_ptr<platform::Executor> executor = [] {
        // Made first so that they outlive the executor's workers at exit.
        (void)Logging::default_();
        (void)platform::Logger::sink();
        return std::make_shared<platform::Executor>(platform::HttpClient::shared());
    }();
    return executor;
}

}  // namespace gemini
