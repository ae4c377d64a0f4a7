#include "panel/BackgroundHistory.h"

#include <stdexcept>
#include <utility>

namespace panel {

BackgroundHistory::BackgroundHistory(std::shared_ptr<desktop::PanelHistory> history,
                                     std::shared_ptr<RequestExecutor> executor,
                                     std::shared_ptr<platform::MainLoop> mainLoop)
    : history_(std::move(history)), executor_(executor), mainLoop_(std::move(mainLoop)) {
    if (!history_ || !executor || !mainLoop_)
        throw std::invalid_argument("BackgroundHistory needs a history, an executor and a main loop");
    // Loaded by someone else before: nothing to wait for.
    ready_ = history_->isLoaded();
}

void BackgroundHistory::prefetch() {
    if (ready_ || loading_) return;
    const auto executor = executor_.lock();
    if (!executor) return;
    loading_ = true;
    executor->execute([self = shared_from_this()] {
        self->history_->get();
        // `self` goes back with the notice: the last owner may be this task.
        self->mainLoop_->post([self] { self->loaded(); });
    });
}

void BackgroundHistory::use(std::function<void(core::HistoryService&)> work) {
    if (ready_) {
        work(history_->get());
        return;
    }
    waiting_.push_back(std::move(work));
    prefetch();
}

void BackgroundHistory::loaded() {
    ready_ = true;
    loading_ = false;
    // Work that arrives while these run goes straight through.
    auto waiting = std::exchange(waiting_, {});
    for (auto& work : waiting) work(history_->get());
}

}  // namespace panel
