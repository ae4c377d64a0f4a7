#include "desktop/PanelHistory.h"

namespace desktop {

PanelHistory::PanelHistory(Factory make) : make_(std::move(make)) {}

core::HistoryService& PanelHistory::get() {
    if (!service_)
        service_ = make_ ? make_() : std::make_unique<core::HistoryService>(platform::UserDefaults::standard());
    return *service_;
}

}  // namespace desktop
