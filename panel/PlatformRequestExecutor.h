#pragma once

#include <memory>

#include "panel/RequestExecutor.h"
#include "platform/Executor.h"

namespace panel {

// The panel's provider calls on the program's executor: they run on its
// workers and their transfers go through its transport, so quitting cancels
// them and joins the threads. A call asked for after shutdown is dropped.
class PlatformRequestExecutor final : public RequestExecutor {
public:
    explicit PlatformRequestExecutor(std::shared_ptr<platform::Executor> executor);

    void execute(std::function<void()> job) override;
    std::shared_ptr<platform::HttpClient> transport() const override { return executor_->http(); }

private:
    std::shared_ptr<platform::Executor> executor_;
};

}  // namespace panel
