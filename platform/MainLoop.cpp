#include "platform/MainLoop.h"

#include "platform/Installed.h"

namespace platform {

namespace {
Installed<MainLoop>& mainSlot() {
    static auto* const slot = new Installed<MainLoop>("the main loop (platform::MainLoop::setMain)");
    return *slot;
}
}  // namespace

void MainLoop::post(const Context& context, Task task) {
    post([context, task = std::move(task)] {
        // Held for the task's run: a shared owner cannot go away under it.
        if (const auto alive = context.lock())
            task();
    });
}

MainLoop::Hold MainLoop::hold() { return Hold(*this); }

MainLoop::Hold::Hold(MainLoop& loop) : loop_(&loop) { loop.beginHold(); }

MainLoop::Hold& MainLoop::Hold::operator=(Hold&& other) noexcept {
    if (this != &other) {
        release();
        loop_ = std::exchange(other.loop_, nullptr);
    }
    return *this;
}

void MainLoop::Hold::release() {
    if (auto* loop = std::exchange(loop_, nullptr))
        loop->endHold();
}

std::shared_ptr<MainLoop> MainLoop::main() { return mainSlot().get(); }

std::shared_ptr<MainLoop> MainLoop::main(std::shared_ptr<MainLoop> (*makeDefault)()) {
    return mainSlot().find(makeDefault);
}

void MainLoop::setMain(std::shared_ptr<MainLoop> loop) { mainSlot().install(std::move(loop)); }

}  // namespace platform
