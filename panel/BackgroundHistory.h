#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "core/HistoryService.h"
#include "desktop/PanelHistory.h"
#include "panel/RequestExecutor.h"
#include "platform/MainLoop.h"

namespace panel {

// A showing's history store, loaded on a worker. Making the store reads and
// decodes the whole stored list (about 4 MB at the cap), which would stall
// the panel for tens of milliseconds; the panel starts the load when it sends
// its first request, so the list is ready by the time the answer comes.
//
// Main thread only, apart from the load itself. Once the load has started,
// the PanelHistory belongs to the worker until the loop hears it is done.
// Without an executor (the program quitting) nothing loads and waiting work
// is dropped with this object.
class BackgroundHistory : public std::enable_shared_from_this<BackgroundHistory> {
public:
    BackgroundHistory(std::shared_ptr<desktop::PanelHistory> history, std::shared_ptr<RequestExecutor> executor,
                      std::shared_ptr<platform::MainLoop> mainLoop);

    // Starts loading on a worker unless the store is loaded or loading.
    void prefetch();

    // Runs `work` with the store: at once when it is loaded, else on the
    // main loop once it is (in the order the calls were made).
    void use(std::function<void(core::HistoryService&)> work);

    bool isReady() const { return ready_; }

private:
    void loaded();

    std::shared_ptr<desktop::PanelHistory> history_;
    // Weak: the executor's queue holds this object while a load waits.
    std::weak_ptr<RequestExecutor> executor_;
    std::shared_ptr<platform::MainLoop> mainLoop_;
    bool loading_ = false;
    bool ready_ = false;
    std::vector<std::function<void(core::HistoryService&)>> waiting_;
};

}  // namespace panel
