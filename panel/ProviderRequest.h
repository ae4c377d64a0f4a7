#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "core/AIService.h"
#include "core/ChatMessage.h"
#include "core/ModelInfo.h"
#include "panel/RequestExecutor.h"
#include "platform/MainLoop.h"

namespace panel {

// One provider call of the panel: the service is made on the main thread
// from a copy of the settings, the blocking call runs on a worker, and the
// outcome comes back as a task posted to the main loop. Nothing the main
// thread writes is read on the worker.
class ProviderRequest {
public:
    struct Call {
        core::ModelInfo model;
        std::string prompt;
        std::optional<std::string> selectedText;
        std::vector<core::ChatMessage> history;  // empty in one-shot mode
    };
    // The user-facing description of what went wrong.
    struct Failure {
        std::string description;
    };
    // The answer, or why there is none.
    using Outcome = std::variant<std::string, Failure>;

    // Runs `call` for `owner` through `service` on `executor`, then
    // `onMainThread` with the outcome on `mainLoop`. A call that waits for
    // room on the executor is dropped when `owner` goes first.
    static void start(RequestExecutor& executor, const platform::MainLoop::Context& owner,
                      std::shared_ptr<platform::MainLoop> mainLoop,
                      std::unique_ptr<core::AIService> service, Call call,
                      std::function<void(Outcome)> onMainThread);

    // The call on the calling thread; every exception becomes a Failure.
    static Outcome run(const core::AIService& service, const Call& call);
};

}  // namespace panel
