#pragma once

#include <QObject>
#include <QPointer>

#include <map>
#include <memory>

#include "platform/MainLoop.h"

class QSocketNotifier;
class QTimer;

namespace platform {

// The main loop on top of Qt's event loop: posted work is a queued call on a
// context object living in the main thread, descriptors are watched with
// QSocketNotifier and timers are QTimers. Construct it on the main thread
// after the QCoreApplication.
class QtMainLoop final : public MainLoop {
public:
    QtMainLoop();
    ~QtMainLoop() override;

    void post(Task task) override;
    Id watchReadable(int fd, Task onReadable) override;
    Id addTimer(std::chrono::milliseconds interval, bool repeats, Task onFire) override;
    void cancel(Id id) override;

private:
    // Owns every notifier and timer through Qt parenthood, so they go with it.
    std::unique_ptr<QObject> context_;
    std::map<Id, QPointer<QObject>> sources_;
    Id nextId_ = 1;
};

}  // namespace platform
