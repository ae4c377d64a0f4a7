#include "panel/ProviderRequest.h"

#include <exception>
#include <utility>

#include "platform/Error.h"

namespace panel {

ProviderRequest::Outcome ProviderRequest::run(const core::AIService& service, const Call& call) {
    try {
        return service.sendMessage(call.model, call.prompt, call.selectedText, call.history);
    } catch (const platform::Error& error) {
        return Failure{error.description()};
    } catch (const std::exception& error) {
        return Failure{error.what()};
    } catch (...) {
        return Failure{"An unknown error occurred."};
    }
}

void ProviderRequest::start(RequestExecutor& executor, const platform::MainLoop::Context& owner,
                            std::shared_ptr<platform::MainLoop> mainLoop,
                            std::unique_ptr<core::AIService> service, Call call,
                            std::function<void(Outcome)> onMainThread) {
    // std::function needs a copyable job; the pieces travel together.
    struct Job {
        std::unique_ptr<core::AIService> service;
        Call call;
        std::shared_ptr<platform::MainLoop> mainLoop;
        std::function<void(Outcome)> onMainThread;
    };
    auto job = std::make_shared<Job>(Job{std::move(service), std::move(call), std::move(mainLoop),
                                         std::move(onMainThread)});
    executor.executeRequest(owner, [job] {
        Outcome outcome = run(*job->service, job->call);
        // The service ends here; the completion leaves the worker with the
        // outcome, so whatever it holds is released on the main thread.
        job->service.reset();
        job->mainLoop->post([done = std::move(job->onMainThread), outcome = std::move(outcome)]() mutable {
            done(std::move(outcome));
        });
    });
}

}  // namespace panel
