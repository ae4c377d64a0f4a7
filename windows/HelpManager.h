#pragma once

#include <QPointer>
#include <QWidget>
#include <memory>

#include "desktop/QuillaryApp.h"
#include "platform/AnalyticsSink.h"
#include "ui/TopLevelFrame.h"
#include "windows/HelpView.h"

namespace windows {

// Keeps at most one help window: 600 x 700, centred, above other windows,
// moved by dragging its background. Closing it with the title bar only
// hides it, so the next showHelp() brings the same window back with its
// rows as they were (and records nothing new).
class HelpManager final : public desktop::QuillaryApp::HelpWindow {
public:
    // `analytics` records the rows the user opens.
    explicit HelpManager(std::shared_ptr<platform::AnalyticsSink> analytics);
    ~HelpManager() override;
    HelpManager(const HelpManager&) = delete;
    HelpManager& operator=(const HelpManager&) = delete;

    // Called by the tray's "Help & FAQs" on the main thread.
    void showHelp() override;
    // Records "help_window_dismissed" and lets the window go.
    void closeHelp();

    // The window while the manager holds one (for tests).
    QWidget* window() const { return window_.data(); }
    HelpView* view() const { return view_.data(); }

    static constexpr int width = 600;
    static constexpr int height = 700;

private:
    std::shared_ptr<platform::AnalyticsSink> analytics_;
    QPointer<ui::TopLevelFrame> window_;
    QPointer<HelpView> view_;
    // The view's close action holds this weakly: it does nothing once the
    // manager is gone.
    std::shared_ptr<HelpManager*> self_;
};

}  // namespace windows
