#pragma once

// The settings window: title "Settings", a fixed 600 x 500 content, dark,
// kept above other windows while shown, with four tabs in this order:
// "API Keys" (key.fill), "Models" (cpu.fill), "Shortcuts" (keyboard.fill),
// "History" (clock.fill). It owns the history store its History tab shows,
// loaded once when the window is made; a new window starts on the first tab.
//
//   auto* view = new SettingsView(settings, defaults);   // a top-level window
//   view->show();                                        // raised and activated on every show
//
// Each tab's symbol name is the tab bar's data for that tab, for tests.

#include <QWidget>
#include <memory>

#include "core/HistoryService.h"
#include "core/Settings.h"
#include "platform/UserDefaults.h"

class QTabWidget;

namespace windows {

class SettingsView : public QWidget {
public:
    SettingsView(core::Settings& settings, std::shared_ptr<platform::UserDefaults> defaults, QWidget* parent = nullptr);
    ~SettingsView() override;

    static constexpr const char* kTitle = "Settings";
    static constexpr int kWidth = 600;
    static constexpr int kHeight = 500;

    QTabWidget* tabs() const { return tabs_; }
    core::HistoryService& historyService() { return *historyService_; }

    // Activates the program and raises the first visible window titled
    // "Settings" above other windows. Runs each time the window is shown.
    static void bringToFront();

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::unique_ptr<core::HistoryService> historyService_;
    QTabWidget* tabs_;
};

}  // namespace windows
