#include "platform/LastActiveApplication.h"

#include <mutex>

namespace platform {
namespace {
std::mutex& holderMutex() {
    static std::mutex m;
    return m;
}
std::optional<RunningApplicationInfo>& holder() {
    static std::optional<RunningApplicationInfo> app;
    return app;
}
}  // namespace

std::optional<RunningApplicationInfo> LastActiveApplication::get() {
    std::lock_guard lock(holderMutex());
    return holder();
}

void LastActiveApplication::set(std::optional<RunningApplicationInfo> app) {
    std::lock_guard lock(holderMutex());
    holder() = std::move(app);
}

}  // namespace platform
