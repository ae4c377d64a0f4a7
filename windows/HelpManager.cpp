#include "windows/HelpManager.h"

#include "platform/Required.h"
#include "ui/TopLevelFrame.h"
#include "windows/HelpView.h"

namespace windows {

HelpManager::HelpManager(std::shared_ptr<platform::AnalyticsSink> analytics)
    : analytics_(platform::required(std::move(analytics), "HelpManager: the analytics sink")),
      self_(std::make_shared<HelpManager*>(this)) {}

HelpManager::~HelpManager() {
    self_.reset();
    delete window_.data();
}

void HelpManager::showHelp() {
    if (window_) {
        window_->bringToFront();
        return;
    }
    analytics_->capture("help_window_opened", {});

    std::weak_ptr<HelpManager*> weak = self_;
    auto onClose = [weak] {
        if (const auto manager = weak.lock())
            (*manager)->closeHelp();
    };
    view_ = new HelpView(std::move(onClose), analytics_);
    auto* frame = new ui::TopLevelFrame(QStringLiteral("Quillary Help"), view_);
    frame->setFixedSize(width, height);
    frame->centreOnScreen();
    window_ = frame;
    frame->bringToFront();
}

void HelpManager::closeHelp() {
    analytics_->capture("help_window_dismissed", {});
    if (QWidget* window = window_.data()) {
        window_ = nullptr;
        window->close();
        // The close may come from inside the window: delete it once that
        // event is over.
        window->deleteLater();
    }
}

}  // namespace windows
