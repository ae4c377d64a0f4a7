#pragma once

#include <QObject>
#include <QPointer>

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <utility>

#include "platform/MainLoop.h"
#include "platform/TaskQueue.h"

class QSocketNotifier;
class QTimer;

namespace platform {

// The main loop on top of Qt's event loop. Posted work waits in the loop's
// own queue, drained by a queued call on a context object living in the main
// thread; timers wait in the loop's own schedule, served by one precise
// QTimer armed for the earliest; descriptors are watched with
// QSocketNotifier. Keeping work and timers in its own queues is what lets the
// loop hold them back while a nested Qt event loop runs (a capture's wait).
// Construct it on the main thread after the QCoreApplication; every thread
// that posts must be done before it is destroyed.
class QtMainLoop final : public MainLoop {
public:
    QtMainLoop();
    ~QtMainLoop() override;

    using MainLoop::post;
    void post(Task task) override;
    Id watchReadable(int fd, Task onReadable) override;
    Id addTimer(std::chrono::milliseconds interval, bool repeats, Task onFire) override;
    void cancel(Id id) override;
    bool isHeld() const override { return holds_ > 0; }

protected:
    void beginHold() override;
    void endHold() override;

private:
    using TimePoint = std::chrono::steady_clock::time_point;
    using Slot = std::pair<TimePoint, std::uint64_t>;  // due time, arming order
    struct Timer {
        std::chrono::milliseconds interval;
        bool repeats;
        Task onFire;
        Slot slot;
    };

    void wake();  // asks for a drain on a later turn, unless one is asked for
    void drain();
    void arm(Id id, Timer& timer, TimePoint due);
    void fireDueTimers();
    void rearm();

    // Owns the notifiers and the timer through Qt parenthood.
    std::unique_ptr<QObject> context_;
    QTimer* timer_ = nullptr;

    TaskQueue posted_;
    std::atomic<bool> wakeQueued_{false};

    std::map<Id, QPointer<QSocketNotifier>> watches_;
    std::map<Id, Timer> timers_;
    std::map<Slot, Id> schedule_;
    std::uint64_t armed_ = 0;
    Id nextId_ = 1;
    int holds_ = 0;
};

}  // namespace platform
