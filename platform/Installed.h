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
// its end, so nothing it installed outlives main() in a static). A read of
// an empty slot makes the library's default with `makeDefault` (once, the
// first time; also after the program uninstalled its own), or, for a slot
// without a default, throws std::logic_error. The default is made through
// LibraryDefaults, which records it and keeps it to the end of the process.
// Thread-safe; the slot itself is never destroyed:
//
//   Installed<UserDefaults>& slot() {
//       static auto* s = new Installed<UserDefaults>("the settings store", &makeStandard);
//       return *s;
//   }
template <class T>
class Installed {
public:
    using DefaultMaker = std::shared_ptr<T> (*)();

    explicit Installed(const char* what, DefaultMaker makeDefault = nullptr) : what_(what), makeDefault_(makeDefault) {}

    std::shared_ptr<T> get() {
        std::lock_guard lock(mutex_);
        if (object_) return object_;
        if (!makeDefault_) throw std::logic_error(std::string(what_) + " is not installed");
        if (!default_) default_ = makeDefault_();
        return default_;
    }
    void install(std::shared_ptr<T> object) {
        std::shared_ptr<T> old;
        std::lock_guard lock(mutex_);
        old = std::exchange(object_, std::move(object));
    }

private:
    const char* what_;
    const DefaultMaker makeDefault_;
    std::mutex mutex_;
    std::shared_ptr<T> object_;   // installed
    std::shared_ptr<T> default_;  // made on a read of the empty slot
};

}  // namespace platform
