#include "platform/NotificationCenter.h"

#include <algorithm>
#include <utility>

namespace platform {

ObserverToken::ObserverToken(ObserverToken&& other) noexcept
    : center_(std::exchange(other.center_, nullptr)), id_(other.id_) {}

ObserverToken& ObserverToken::operator=(ObserverToken&& other) noexcept {
    if (this != &other) {
        reset();
        center_ = std::exchange(other.center_, nullptr);
        id_ = other.id_;
    }
    return *this;
}

ObserverToken::~ObserverToken() { reset(); }

void ObserverToken::reset() {
    if (auto* center = std::exchange(center_, nullptr))
        center->remove(id_);
}

ObserverToken NotificationCenter::addObserver(std::string name, Observer observer) {
    const auto id = nextId_++;
    entries_.push_back({id, std::move(name), std::make_shared<Observer>(std::move(observer))});
    return ObserverToken(this, id);
}

void NotificationCenter::post(Notification notification) {
    // Walk a snapshot of ids so observers can change the list while we post;
    // each one is looked up again so a removed observer is skipped.
    std::vector<std::uint64_t> ids;
    ids.reserve(entries_.size());
    for (const auto& entry : entries_)
        if (entry.name.empty() || entry.name == notification.name)
            ids.push_back(entry.id);
    for (const auto id : ids) {
        const auto it = std::find_if(entries_.begin(), entries_.end(),
                                     [id](const Entry& entry) { return entry.id == id; });
        if (it == entries_.end())
            continue;
        const auto observer = it->observer;  // stays alive even if removed while running
        (*observer)(notification);
    }
}

void NotificationCenter::post(std::string name, std::map<std::string, std::any, std::less<>> userInfo) {
    post(Notification{std::move(name), std::move(userInfo)});
}

std::size_t NotificationCenter::observerCount() const { return entries_.size(); }

void NotificationCenter::remove(std::uint64_t id) {
    std::erase_if(entries_, [id](const Entry& entry) { return entry.id == id; });
}

NotificationCenter& NotificationCenter::defaultCenter() {
    // Never destroyed: observer tokens in other process-wide objects may be
    // released during exit, after a static centre would already be gone.
    static auto* center = new NotificationCenter;
    return *center;
}

}  // namespace platform
