#pragma once

#include <chrono>

namespace platform {

// The short waits between simulated keys and clipboard reads. The program's
// sleeper keeps the clipboard answering other programs during the wait while
// the user's input and the program's own queued work wait; tests record the
// durations against a virtual clock.
class Sleeper {
public:
    virtual ~Sleeper() = default;
    virtual void sleep(std::chrono::milliseconds duration) = 0;
};

}  // namespace platform
