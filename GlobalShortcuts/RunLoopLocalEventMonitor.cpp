#include "GlobalShortcuts/RunLoopLocalEventMonitor.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QTimer>

#include <algorithm>

#include "GlobalShortcuts/GlobalShortcuts.h"
#include "GlobalShortcuts/QtEventBridge.h"

namespace GlobalShortcuts {

RunLoopLocalEventMonitor::RunLoopLocalEventMonitor(EventTypeMask events, RunLoopMode mode,
                                                   ApplicationEvents::Callback callback)
    : events_(events), mode_(mode), callback_(std::move(callback)) {}

RunLoopLocalEventMonitor::~RunLoopLocalEventMonitor() { stop(); }

void RunLoopLocalEventMonitor::start() {
    auto* application = QCoreApplication::instance();
    if (active_ || !application)
        return;
    active_ = true;
    application->installEventFilter(this);
    if (auto* dispatcher = QAbstractEventDispatcher::instance(application->thread()))
        wakeConnection_ = connect(dispatcher, &QAbstractEventDispatcher::awake, this, [this] { drain(); });
}

void RunLoopLocalEventMonitor::stop() {
    if (!active_)
        return;
    active_ = false;
    disconnect(wakeConnection_);
    if (auto* application = QCoreApplication::instance())
        application->removeEventFilter(this);
    // What was taken and not drained yet goes on unchanged.
    auto taken = std::move(taken_);
    taken_.clear();
    for (auto& [target, event] : taken)
        putBack(target, std::move(event));
}

bool RunLoopLocalEventMonitor::inMode() const { return mode_ == RunLoopMode::default_ || isMenuOpen(); }

bool RunLoopLocalEventMonitor::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
        return false;
    if (const auto it = std::ranges::find(putBack_, event); it != putBack_.end()) {
        putBack_.erase(it);
        return false;
    }
    // Each event once, at its window (see QtEventBridge).
    if (!watched->isWindowType() || !inMode())
        return false;
    const auto& keyEvent = static_cast<const QKeyEvent&>(*event);
    const auto ours = QtEventBridge::toEvent(keyEvent);
    if (!ours || !(events_ & eventMask(ours->type)))
        return false;
    taken_.push_back({watched, std::unique_ptr<QKeyEvent>(keyEvent.clone())});
    // The loop may already be awake and about to sleep: make sure it wakes
    // once more to drain what was just taken.
    QTimer::singleShot(0, this, [this] { drain(); });
    return true;
}

void RunLoopLocalEventMonitor::drain() {
    if (!active_ || !inMode() || taken_.empty())
        return;
    auto taken = std::move(taken_);
    taken_.clear();
    for (auto& [target, event] : taken) {
        const auto ours = QtEventBridge::toEvent(*event);
        const auto result = callback_(*ours);  // the callback may stop this monitor, not destroy it
        if (!result)
            continue;
        putBack(target, *result == *ours ? std::move(event) : QtEventBridge::toQtEvent(*event, *result));
    }
}

void RunLoopLocalEventMonitor::putBack(QObject* target, std::unique_ptr<QKeyEvent> event) {
    if (!target)
        return;  // its window is gone
    putBack_.push_back(event.get());
    QCoreApplication::postEvent(target, event.release());
}

}  // namespace GlobalShortcuts
