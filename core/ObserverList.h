#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <utility>
#include <vector>

namespace core {

// Identifies one subscription; 0 never names one.
using ObserverToken = std::uint64_t;

// Change callbacks of an observable object, used on the main thread only.
// A callback may subscribe or unsubscribe (itself or others) while being
// notified: one that is removed during a notification is not called after
// its removal, and one added during a notification first hears the next one.
template <typename... Args>
class ObserverList {
public:
    using Callback = std::function<void(Args...)>;

    ObserverToken subscribe(Callback callback) {
        const ObserverToken token = ++lastToken_;
        callbacks_.emplace(token, std::move(callback));
        return token;
    }

    void unsubscribe(ObserverToken token) { callbacks_.erase(token); }

    void notify(const Args&... args) const {
        std::vector<ObserverToken> tokens;
        tokens.reserve(callbacks_.size());
        for (const auto& entry : callbacks_) tokens.push_back(entry.first);
        for (const ObserverToken token : tokens) {
            auto it = callbacks_.find(token);
            if (it == callbacks_.end()) continue;
            // A copy, so that the callback may unsubscribe itself safely.
            Callback callback = it->second;
            callback(args...);
        }
    }

    std::size_t size() const { return callbacks_.size(); }

private:
    std::map<ObserverToken, Callback> callbacks_;
    ObserverToken lastToken_ = 0;
};

}  // namespace core
