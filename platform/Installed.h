#pragma once

#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <utility>

namespace platform {

// The slot behind a process-wide accessor (UserDefaults::standard(),
// TelemetrySDK::shared() ...). install() replaces whatever the slot holds,
// a default made earlier included; null uninstalls (the program does so at
// its end, so nothing it installed outlives main() in a static).
//
// A read of an empty slot in which nothing was ever installed gets the
// library's default, made once with `makeDefault` through LibraryDefaults,
// which records it and keeps it to the end of the process. Once something
// was installed, the slot never makes a default again: a late read after the
// program's end step (a destructor, a late event) gets the inert object made
// by `makeInert` (keeps nothing, does nothing), so the end check still finds
// no default made. A read that finds neither throws std::logic_error.
// Thread-safe; the slot itself is never destroyed:
//
//   Installed<UserDefaults>& slot() {
//       static auto* s = new Installed<UserDefaults>("the settings store", &makeStandard, &makeEmpty);
//       return *s;
//   }
template <class T>
class Installed {
public:
    using Maker = std::shared_ptr<T> (*)();

    explicit Installed(const char* what, Maker makeDefault = nullptr, Maker makeInert = nullptr)
        : what_(what), makeDefault_(makeDefault), makeInert_(makeInert) {}

    std::shared_ptr<T> get() {
        if (auto object = find(makeDefault_)) return object;
        throw std::logic_error(std::string(what_) + " is not installed");
    }

    // What get() gives, the default made by `makeDefault` instead (for a
    // default that only a library above this one can make), or null where
    // there is nothing. A maker that returns null makes nothing this time.
    std::shared_ptr<T> find(Maker makeDefault) {
        std::lock_guard lock(mutex_);
        if (object_) return object_;
        if (everInstalled_) {
            if (!inert_ && makeInert_) inert_ = makeInert_();
            return inert_;
        }
        if (!default_ && makeDefault) default_ = makeDefault();
        return default_;
    }

    void install(std::shared_ptr<T> object) {
        std::shared_ptr<T> old;
        std::lock_guard lock(mutex_);
        if (object) everInstalled_ = true;
        old = std::exchange(object_, std::move(object));
    }

private:
    const char* what_;
    const Maker makeDefault_;
    const Maker makeInert_;
    std::mutex mutex_;
    std::shared_ptr<T> object_;   // installed
    std::shared_ptr<T> default_;  // made on a read while nothing was ever installed
    std::shared_ptr<T> inert_;    // made on a read after an uninstall
    bool everInstalled_ = false;
};

}  // namespace platform
