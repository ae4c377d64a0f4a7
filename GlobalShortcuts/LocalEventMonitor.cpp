#include "GlobalShortcuts/LocalEventMonitor.h"

#include "GlobalShortcuts/QtEventBridge.h"

namespace GlobalShortcuts {

LocalEventMonitor::LocalEventMonitor(EventTypeMask events, ApplicationEvents::Callback callback)
    : events_(events), callback_(std::move(callback)) {}

LocalEventMonitor::~LocalEventMonitor() {
    if (monitor_)
        ApplicationEvents::removeMonitor(*monitor_);
}

LocalEventMonitor& LocalEventMonitor::start() {
    if (!monitor_) {
        QtEventBridge::ensureInstalled();
        monitor_ = ApplicationEvents::addMonitor(events_, callback_);
    }
    return *this;
}

bool LocalEventMonitor::isActive() const { return monitor_ && ApplicationEvents::hasMonitor(*monitor_); }

}  // namespace GlobalShortcuts
