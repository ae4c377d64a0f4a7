#include "GlobalShortcuts/ApplicationEvents.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace GlobalShortcuts {

namespace {

struct Monitor {
    ApplicationEvents::Token token;
    EventTypeMask mask;
    std::shared_ptr<ApplicationEvents::Callback> callback;
};

struct State {
    std::vector<Monitor> monitors;
    ApplicationEvents::Token nextToken = 1;
};

State& state() {
    static State instance;
    return instance;
}

bool watches(EventTypeMask mask, int type) {
    // Types beyond the width of the mask count as watched.
    if (type < 0 || type >= 64)
        return true;
    return (mask & eventMask(type)) != 0;
}

}  // namespace

std::optional<Event> ApplicationEvents::dispatch(Event event) {
    // A callback may add or remove monitors (its own too): walk a snapshot and
    // skip monitors removed meanwhile.
    const auto snapshot = state().monitors;
    for (const auto& monitor : snapshot) {
        if (!hasMonitor(monitor.token) || !watches(monitor.mask, event.type))
            continue;
        auto result = (*monitor.callback)(event);
        if (!result)
            return std::nullopt;
        event = *result;
    }
    return event;
}

ApplicationEvents::Token ApplicationEvents::addMonitor(EventTypeMask mask, Callback callback) {
    auto& s = state();
    const auto token = s.nextToken++;
    s.monitors.push_back({token, mask, std::make_shared<Callback>(std::move(callback))});
    return token;
}

void ApplicationEvents::removeMonitor(Token token) {
    std::erase_if(state().monitors, [token](const Monitor& monitor) { return monitor.token == token; });
}

bool ApplicationEvents::hasMonitor(Token token) {
    const auto& monitors = state().monitors;
    return std::any_of(monitors.begin(), monitors.end(), [token](const Monitor& m) { return m.token == token; });
}

std::size_t ApplicationEvents::monitorCount() { return state().monitors.size(); }

}  // namespace GlobalShortcuts
