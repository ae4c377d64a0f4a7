#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

#include "platform/Sleeper.h"
#include "platform/fake/EventJournal.h"
#include "platform/fake/ManualMonotonicClock.h"

namespace platform {

// Returns at once, recording each wait and moving a virtual clock on by it.
// `onSleep` runs inside the wait, where the real sleeper would let other
// programs answer.
class RecordingSleeper final : public Sleeper {
public:
    void sleep(std::chrono::milliseconds duration) override;

    std::chrono::milliseconds elapsed{0};
    std::vector<std::chrono::milliseconds> waits;
    std::function<void(std::chrono::milliseconds)> onSleep;
    // Moved on by each wait too, when set.
    std::shared_ptr<ManualMonotonicClock> clock;
    EventJournal journal;
};

}  // namespace platform
