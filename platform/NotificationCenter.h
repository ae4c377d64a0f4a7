#pragma once

#include <any>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// A posted notification: its name and a user-info map whose values are
// whatever the poster documents (read them with std::any_cast).
struct Notification {
    std::string name;
    std::map<std::string, std::any, std::less<>> userInfo;

    // The user-info value under `key` if it holds a T, else null.
    template <class T>
    const T* value(std::string_view key) const {
        const auto it = userInfo.find(key);
        return it == userInfo.end() ? nullptr : std::any_cast<T>(&it->second);
    }
};

class NotificationCenter;

// Keeps an observer registered; destroying or resetting it removes the
// observer. Must not outlive the centre it came from.
class ObserverToken {
public:
    ObserverToken() = default;
    ObserverToken(ObserverToken&& other) noexcept;
    ObserverToken& operator=(ObserverToken&& other) noexcept;
    ObserverToken(const ObserverToken&) = delete;
    ObserverToken& operator=(const ObserverToken&) = delete;
    ~ObserverToken();

    void reset();
    explicit operator bool() const { return center_ != nullptr; }

private:
    friend class NotificationCenter;
    ObserverToken(NotificationCenter* center, std::uint64_t id) : center_(center), id_(id) {}

    NotificationCenter* center_ = nullptr;
    std::uint64_t id_ = 0;
};

// An in-process notification centre, used on the main thread only.
// Observers run synchronously inside `post`, in the order they were added.
// An observer may add or remove observers (itself included) while it runs:
// one removed during a post is not called afterwards, one added during a post
// first hears the next one.
class NotificationCenter {
public:
    using Observer = std::function<void(const Notification&)>;

    NotificationCenter() = default;
    NotificationCenter(const NotificationCenter&) = delete;
    NotificationCenter& operator=(const NotificationCenter&) = delete;

    // Observes notifications called `name`; an empty name observes all.
    [[nodiscard]] ObserverToken addObserver(std::string name, Observer observer);

    void post(Notification notification);
    void post(std::string name, std::map<std::string, std::any, std::less<>> userInfo = {});

    std::size_t observerCount() const;

    // The process-wide centre.
    static NotificationCenter& defaultCenter();

private:
    friend class ObserverToken;
    void remove(std::uint64_t id);

    struct Entry {
        std::uint64_t id;
        std::string name;
        std::shared_ptr<Observer> observer;
    };
    std::vector<Entry> entries_;
    std::uint64_t nextId_ = 1;
};

}  // namespace platform
