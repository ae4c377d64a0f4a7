#pragma once

#include <QObject>
#include <QPointer>

#include <memory>
#include <vector>

#include "GlobalShortcuts/ApplicationEvents.h"

class QKeyEvent;

namespace GlobalShortcuts {

// When a run-loop monitor drains its events.
enum class RunLoopMode {
    default_,       // whenever the loop wakes
    eventTracking,  // only while a menu of the program is open
};

// Takes the application's key events out of delivery and hands them to a
// callback each time the main loop wakes to handle its sources, between
// start() and stop(), in its mode only. The callback returns the event to
// deliver (the same or another) or none to drop it; what it returns is put
// back at the end of the queue, so events that come back keep their order.
// Key events of other types, and events of keys with no position, are never
// taken. The hot-key layer keeps one while menus are open: the open menu
// holds the keyboard, so grabbed keys would not reach it otherwise.
// Main thread only; needs a running QCoreApplication to take anything.
class RunLoopLocalEventMonitor final : public QObject {
public:
    RunLoopLocalEventMonitor(EventTypeMask events, RunLoopMode mode, ApplicationEvents::Callback callback);
    ~RunLoopLocalEventMonitor() override;

    void start();
    void stop();
    bool isActive() const { return active_; }

    // The drain step: every event taken so far goes through the callback, in
    // arrival order. Runs by itself when the loop wakes; public for tests.
    void drain();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Taken {
        QPointer<QObject> target;
        std::unique_ptr<QKeyEvent> event;
    };

    bool inMode() const;
    void putBack(QObject* target, std::unique_ptr<QKeyEvent> event);

    EventTypeMask events_;
    RunLoopMode mode_;
    ApplicationEvents::Callback callback_;
    bool active_ = false;
    std::vector<Taken> taken_;
    std::vector<const QEvent*> putBack_;  // ours, on their way back: not taken again
    QMetaObject::Connection wakeConnection_;
};

}  // namespace GlobalShortcuts
