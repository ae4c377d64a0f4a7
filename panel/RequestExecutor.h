#pragma once

#include <functional>
#include <memory>

#include "platform/HttpClient.h"
#include "platform/MainLoop.h"

namespace panel {

// Runs blocking work away from the main thread. The program's is a
// PlatformRequestExecutor over the executor it owns and joins at quit; tests
// run the jobs when they choose. Called on the main thread.
class RequestExecutor {
public:
    virtual ~RequestExecutor() = default;

    virtual void execute(std::function<void()> job) = 0;

    // A provider call made for `owner` (its panel). An executor may keep such
    // calls waiting; one whose owner is gone before it starts is dropped
    // unrun. Here: run now, unless the owner is already gone.
    virtual void executeRequest(const platform::MainLoop::Context& owner, std::function<void()> job) {
        if (owner.lock()) execute(std::move(job));
    }

    // The transport the jobs' provider calls should use, so that stopping
    // the executor also stops their transfers.
    virtual std::shared_ptr<platform::HttpClient> transport() const = 0;
};

}  // namespace panel
