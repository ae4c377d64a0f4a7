#include "platform/MainLoop.h"

#include <mutex>
#include <stdexcept>

namespace platform {

namespace {
std::mutex mainMutex;
std::shared_ptr<MainLoop> mainLoop;
}  // namespace

std::shared_ptr<MainLoop> MainLoop::main() {
    std::lock_guard lock(mainMutex);
    if (!mainLoop)
        throw std::logic_error("no main loop installed (platform::MainLoop::setMain)");
    return mainLoop;
}

void MainLoop::setMain(std::shared_ptr<MainLoop> loop) {
    std::lock_guard lock(mainMutex);
    mainLoop = std::move(loop);
}

}  // namespace platform
