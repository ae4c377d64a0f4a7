#include "platform/qt/QtMainLoop.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <exception>
#include <vector>

#include "platform/Logger.h"

namespace platform {

namespace {

// No exception may cross Qt's event loop: report it and carry on.
void runGuarded(const MainLoop::Task& task) {
    try {
        task();
    } catch (const std::exception& error) {
        Logger("platform", "MainLoop")
            .error(std::string("Uncaught exception in main-loop task: ") + outsideText(error.what()));
    } catch (...) {
        Logger("platform", "MainLoop").error("Uncaught exception in main-loop task");
    }
}

}  // namespace

QtMainLoop::QtMainLoop() : context_(std::make_unique<QObject>()), timer_(new QTimer(context_.get())) {
    timer_->setSingleShot(true);
    timer_->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer_, &QTimer::timeout, context_.get(), [this] { fireDueTimers(); });
}

// Destroying the context drops the queued drain call with it.
QtMainLoop::~QtMainLoop() = default;

void QtMainLoop::post(Task task) {
    posted_.push(std::move(task));
    wake();
}

void QtMainLoop::wake() {
    // A drain that began before this task came clears the flag first and
    // looks at the queue after: it either takes the task or asks again.
    if (wakeQueued_.exchange(true))
        return;
    // Queued calls are delivered in order and from any thread.
    QMetaObject::invokeMethod(context_.get(), [this] { drain(); }, Qt::QueuedConnection);
}

void QtMainLoop::drain() {
    wakeQueued_ = false;
    // Only the work that was there when this turn began: work that keeps
    // posting more must not starve the rest of the event loop.
    for (auto count = posted_.size(); count > 0 && !isHeld(); --count) {
        const Task task = posted_.pop();
        if (!task)
            break;
        runGuarded(task);
    }
    // Held: the last hold to end wakes the loop again.
    if (!isHeld() && posted_.size() > 0)
        wake();
}

MainLoop::Id QtMainLoop::watchReadable(int fd, Task onReadable) {
    const auto id = nextId_++;
    auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, context_.get());
    QObject::connect(notifier, &QSocketNotifier::activated, context_.get(),
                     [onReadable = std::move(onReadable)] { runGuarded(onReadable); });
    watches_.emplace(id, notifier);
    return id;
}

void QtMainLoop::arm(Id id, Timer& timer, TimePoint due) {
    timer.slot = {due, armed_++};
    schedule_.emplace(timer.slot, id);
}

MainLoop::Id QtMainLoop::addTimer(std::chrono::milliseconds interval, bool repeats, Task onFire) {
    const auto id = nextId_++;
    auto& timer = timers_.emplace(id, Timer{interval, repeats, std::move(onFire), {}}).first->second;
    arm(id, timer, std::chrono::steady_clock::now() + interval);
    rearm();
    return id;
}

void QtMainLoop::rearm() {
    if (isHeld() || schedule_.empty()) {
        timer_->stop();
        return;
    }
    const auto wait = schedule_.begin()->first.first - std::chrono::steady_clock::now();
    // Rounded up: a precise QTimer never fires early, and a timer that came
    // a fraction of a millisecond too soon would only be armed again.
    timer_->start(std::max(std::chrono::ceil<std::chrono::milliseconds>(wait), std::chrono::milliseconds(0)));
}

void QtMainLoop::fireDueTimers() {
    const auto now = std::chrono::steady_clock::now();
    while (!isHeld() && !schedule_.empty() && schedule_.begin()->first.first <= now) {
        const auto [slot, id] = *schedule_.begin();
        schedule_.erase(schedule_.begin());
        auto& timer = timers_.at(id);
        // Copied: the callback may cancel its own timer.
        const Task onFire = timer.onFire;
        if (timer.repeats) {
            // After a long hold, one late firing rather than a burst.
            const auto step = std::max(timer.interval, std::chrono::milliseconds(1));
            arm(id, timer, std::max(slot.first + step, now));
        } else {
            timers_.erase(id);
        }
        runGuarded(onFire);
    }
    rearm();
}

void QtMainLoop::cancel(Id id) {
    if (const auto it = timers_.find(id); it != timers_.end()) {
        schedule_.erase(it->second.slot);
        timers_.erase(it);
        rearm();
        return;
    }
    const auto it = watches_.find(id);
    if (it == watches_.end())
        return;
    if (QSocketNotifier* notifier = it->second) {
        notifier->setEnabled(false);
        notifier->disconnect();
        notifier->deleteLater();  // its own signal may be the one running
    }
    watches_.erase(it);
}

void QtMainLoop::beginHold() {
    ++holds_;
    timer_->stop();
}

void QtMainLoop::endHold() {
    if (--holds_ > 0)
        return;
    // Resume on later turns, never inside the code that ended the hold.
    if (posted_.size() > 0)
        wake();
    rearm();
}

}  // namespace platform
