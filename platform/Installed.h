#pragma once

#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <utility>

namespace platform {

// The slot behind a process-wide accessor (UserDefaults::standard(),
// TelemetrySDK::shared() ...): it holds only what the program installed and
// lets it go when the program uninstalls it at its end, so no real service
// outlives main() in a static. Reading an empty slot is a programming error.
// Thread-safe.
//
//   Installed<UserDefaults>& slot() { static Installed<UserDefaults> s("the settings store"); return s; }
template <class T>
class Installed {
public:
    explicit Installed(const char* what) : what_(what) {}

    std::shared_ptr<T> get() const {
        std::lock_guard lock(mutex_);
        if (!object_) throw std::logic_error(std::string(what_) + " is not installed");
        return object_;
    }
    // Null uninstalls; the old object goes with the caller's last reference.
    void install(std::shared_ptr<T> object) {
        std::shared_ptr<T> old;
        std::lock_guard lock(mutex_);
        old = std::exchange(object_, std::move(object));
    }

private:
    const char* what_;
    mutable std::mutex mutex_;
    std::shared_ptr<T> object_;
};

}  // namespace platform
