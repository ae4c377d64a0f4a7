#include "windows/SettingsWindowController.h"

#include <utility>

namespace windows {

SettingsWindowController::SettingsWindowController(core::Settings& settings,
                                                   std::shared_ptr<platform::UserDefaults> defaults)
    : settings_(settings), defaults_(std::move(defaults)) {}

SettingsWindowController::~SettingsWindowController() { delete window_.data(); }

void SettingsWindowController::showSettings() {
    // A closed window waits for its deferred deletion: it is not reused.
    if (window_ && !window_->isVisible()) window_.clear();
    if (!window_) {
        window_ = new SettingsView(settings_, defaults_);
        // Closing ends the window: its tabs and history store go with it.
        window_->setAttribute(Qt::WA_DeleteOnClose);
    }
    if (window_->isVisible()) {
        SettingsView::bringToFront();
    } else {
        window_->show();
    }
}

}  // namespace windows
