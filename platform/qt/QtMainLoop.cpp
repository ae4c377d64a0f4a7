#include "platform/qt/QtMainLoop.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <exception>

#include "platform/Logger.h"

namespace platform {

namespace {

// No exception may cross Qt's event loop: report it and carry on.
void runGuarded(const MainLoop::Task& task) {
    try {
        task();
    } catch (const std::exception& error) {
        Logger("platform", "MainLoop").error(std::string("Uncaught exception in main-loop task: ") + error.what());
    } catch (...) {
        Logger("platform", "MainLoop").error("Uncaught exception in main-loop task");
    }
}

}  // namespace

QtMainLoop::QtMainLoop() : context_(std::make_unique<QObject>()) {}

QtMainLoop::~QtMainLoop() = default;

void QtMainLoop::post(Task task) {
    // Queued calls are delivered in the order they were posted, from any thread.
    QMetaObject::invokeMethod(context_.get(), [task = std::move(task)] { runGuarded(task); },
                              Qt::QueuedConnection);
}

MainLoop::Id QtMainLoop::watchReadable(int fd, Task onReadable) {
    const auto id = nextId_++;
    auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, context_.get());
    QObject::connect(notifier, &QSocketNotifier::activated, context_.get(),
                     [onReadable = std::move(onReadable)] { runGuarded(onReadable); });
    sources_.emplace(id, notifier);
    return id;
}

MainLoop::Id QtMainLoop::addTimer(std::chrono::milliseconds interval, bool repeats, Task onFire) {
    const auto id = nextId_++;
    auto* timer = new QTimer(context_.get());
    timer->setSingleShot(!repeats);
    timer->setInterval(interval);
    QObject::connect(timer, &QTimer::timeout, context_.get(), [this, id, repeats, onFire = std::move(onFire)] {
        const Task fire = onFire;  // cancelling disconnects the slot holding onFire
        if (!repeats)
            cancel(id);
        runGuarded(fire);
    });
    timer->start();
    sources_.emplace(id, timer);
    return id;
}

void QtMainLoop::cancel(Id id) {
    const auto it = sources_.find(id);
    if (it == sources_.end())
        return;
    if (QObject* source = it->second) {
        if (auto* notifier = qobject_cast<QSocketNotifier*>(source))
            notifier->setEnabled(false);
        if (auto* timer = qobject_cast<QTimer*>(source))
            timer->stop();
        source->disconnect();
        source->deleteLater();  // the source may be the one whose signal is running
    }
    sources_.erase(it);
}

}  // namespace platform
