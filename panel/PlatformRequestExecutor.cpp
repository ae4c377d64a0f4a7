#include "panel/PlatformRequestExecutor.h"

#include <stdexcept>
#include <utility>

#include "platform/Logger.h"
#include "platform/Required.h"

namespace panel {

namespace {
platform::Logger requestLog() { return platform::Logger("quillary", "panel"); }
void logQuitting() { requestLog().info("Provider call not started: the program is quitting"); }
}  // namespace

PlatformRequestExecutor::PlatformRequestExecutor(std::shared_ptr<platform::Executor> executor,
                                                 std::shared_ptr<platform::MainLoop> mainLoop)
    : executor_(platform::required(std::move(executor), "PlatformRequestExecutor: the executor")),
      mainLoop_(platform::required(std::move(mainLoop), "PlatformRequestExecutor: the main loop")) {}

void PlatformRequestExecutor::execute(std::function<void()> job) {
    if (!executor_->submit(std::move(job))) logQuitting();
}

void PlatformRequestExecutor::executeRequest(const platform::MainLoop::Context& owner, std::function<void()> job) {
    slots_->waiting.push_back({owner, std::move(job)});
    startWaiting();
}

std::size_t PlatformRequestExecutor::runningRequests() const { return slots_->running; }

std::size_t PlatformRequestExecutor::waitingRequests() const { return slots_->waiting.size(); }

void PlatformRequestExecutor::startWaiting() {
    auto& waiting = slots_->waiting;
    // The calls of a panel that is gone go at the first chance rather than
    // at their turn: each holds a copy of the settings, keys included.
    std::erase_if(waiting, [](const Waiting& call) { return !call.owner.lock(); });
    while (slots_->running < kMaxRunningRequests && !waiting.empty()) {
        std::function<void()> job = std::move(waiting.front().job);
        waiting.pop_front();
        if (!start(std::move(job))) {
            waiting.clear();
            logQuitting();
            return;
        }
    }
}

bool PlatformRequestExecutor::start(std::function<void()> job) {
    ++slots_->running;
    auto ended = [this, loop = mainLoop_, slots = std::weak_ptr<Slots>(slots_)] {
        loop->post(slots, [this] {
            --slots_->running;
            startWaiting();
        });
    };
    const bool started = executor_->submit([job = std::move(job), ended]() mutable {
        try {
            job();
        } catch (...) {
            ended();
            throw;
        }
        // Its captures go on this worker, as any job's do, before the next
        // call may take the room.
        job = nullptr;
        ended();
    });
    if (!started) --slots_->running;
    return started;
}

}  // namespace panel
