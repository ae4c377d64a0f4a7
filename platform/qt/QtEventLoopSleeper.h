#pragma once

#include "platform/Sleeper.h"

namespace platform {

// Waits by running a nested Qt event loop for exactly the duration, without
// the user's input events: the clipboard and the selections keep answering
// other programs (a program waiting on our clipboard would otherwise stall
// the copy we are waiting for), while keys and clicks wait until after.
// Main thread only.
class QtEventLoopSleeper final : public Sleeper {
public:
    void sleep(std::chrono::milliseconds duration) override;
};

}  // namespace platform
