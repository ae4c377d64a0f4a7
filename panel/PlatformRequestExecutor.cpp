#include "panel/PlatformRequestExecutor.h"

#include <stdexcept>
#include <utility>

#include "platform/Logger.h"

namespace panel {

PlatformRequestExecutor::PlatformRequestExecutor(std::shared_ptr<platform::Executor> executor)
    : executor_(std::move(executor)) {
    if (!executor_) throw std::invalid_argument("PlatformRequestExecutor needs an executor");
}

void PlatformRequestExecutor::execute(std::function<void()> job) {
    if (!executor_->submit(std::move(job)))
        platform::Logger("quillary", "panel").info("Provider call not started: the program is quitting");
}

}  // namespace panel
