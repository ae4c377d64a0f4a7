#pragma once

#include <functional>

namespace panel {

// Runs blocking provider calls away from the main thread. The application
// owns the one executor and joins its threads at quit. Called on the main
// thread.
class RequestExecutor {
public:
    virtual ~RequestExecutor() = default;
    virtual void execute(std::function<void()> job) = 0;
};

}  // namespace panel
