#pragma once

#include <cstddef>
#include <deque>
#include <memory>

#include "panel/RequestExecutor.h"
#include "platform/Executor.h"
#include "platform/MainLoop.h"

namespace panel {

// The panel's provider calls on the program's executor: they run on its
// workers and their transfers go through its transport, so quitting cancels
// them and joins the threads. A call asked for after shutdown is dropped.
//
// Every call is paid for and holds a thread, so at most kMaxRunningRequests
// run at once; the others wait here in order, and are dropped unrun once
// their panel is gone, or at quit. Other work (`execute`) is not counted.
// Main thread only.
class PlatformRequestExecutor final : public RequestExecutor {
public:
    static constexpr std::size_t kMaxRunningRequests = 8;

    // `mainLoop` hears when a call ends.
    PlatformRequestExecutor(std::shared_ptr<platform::Executor> executor, std::shared_ptr<platform::MainLoop> mainLoop);
    PlatformRequestExecutor(const PlatformRequestExecutor&) = delete;
    PlatformRequestExecutor& operator=(const PlatformRequestExecutor&) = delete;

    void execute(std::function<void()> job) override;
    void executeRequest(const platform::MainLoop::Context& owner, std::function<void()> job) override;
    std::shared_ptr<platform::HttpClient> transport() const override { return executor_->http(); }

    std::size_t runningRequests() const;
    std::size_t waitingRequests() const;

private:
    struct Waiting {
        platform::MainLoop::Context owner;
        std::function<void()> job;
    };
    // Owned by this object alone, so a call's end that finds it still there
    // finds this object too; the calls may outlive both.
    struct Slots {
        std::size_t running = 0;
        std::deque<Waiting> waiting;
    };

    // Starts waiting calls while there is room, dropping those whose owner
    // is gone, and all of them once the executor has shut down.
    void startWaiting();
    bool start(std::function<void()> job);

    std::shared_ptr<platform::Executor> executor_;
    std::shared_ptr<platform::MainLoop> mainLoop_;
    std::shared_ptr<Slots> slots_ = std::make_shared<Slots>();
};

}  // namespace panel
