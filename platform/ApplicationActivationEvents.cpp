#include "platform/ApplicationActivationEvents.h"

namespace platform {

ObserverToken ApplicationActivationEvents::addObserver(std::function<void(std::uint64_t)> onActivated) {
    return center_.addObserver(notificationName, [onActivated = std::move(onActivated)](const Notification& note) {
        const auto* window = note.value<std::uint64_t>(windowKey);
        onActivated(window ? *window : 0);
    });
}

void ApplicationActivationEvents::applicationActivated(std::uint64_t window) {
    if (active_ == window)
        return;
    active_ = window;
    if (window != 0)
        center_.post(notificationName, {{windowKey, window}});
}

}  // namespace platform
