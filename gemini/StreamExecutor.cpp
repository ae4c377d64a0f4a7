#include "gemini/StreamExecutor.h"

#include "gemini/Logging.h"
#include "platform/LibraryDefaults.h"
#include "platform/Logger.h"

namespace gemini {

std::shared_ptr<platform::Executor> StreamExecutor::shared() {
    static const std::shared_ptr<platform::Executor> executor = platform::LibraryDefaults::make<platform::Executor>(
        "the Gemini stream executor",
        [] {
            // Made first, so that exit destroys them only after the workers
            // that write to them were joined.
            (void)Logging::default_();
            (void)platform::Logger::sink();
            return std::make_shared<platform::Executor>(platform::HttpClient::shared());
        },
        platform::LibraryDefaults::Ending::cancelTransfers, [](platform::Executor& executor) { executor.shutdown(); });
    return executor;
}

}  // namespace gemini
