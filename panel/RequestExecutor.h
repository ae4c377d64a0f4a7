#pragma once

#include <functional>
#include <memory>

#include "platform/HttpClient.h"

namespace panel {

// Runs blocking provider calls away from the main thread. The program's is a
// PlatformRequestExecutor over the executor it owns and joins at quit; tests
// run the jobs when they choose. Called on the main thread.
class RequestExecutor {
public:
    virtual ~RequestExecutor() = default;

    virtual void execute(std::function<void()> job) = 0;

    // The transport the jobs' provider calls should use, so that stopping
    // the executor also stops their transfers.
    virtual std::shared_ptr<platform::HttpClient> transport() const { return platform::HttpClient::shared(); }
};

}  // namespace panel
