#pragma once

// The third settings tab, on the tab page: the shortcuts panel with a
// recorder per global shortcut, the audio panel with the auto-submit delay,
// and the launch panel with the launch-at-login switch. A combination
// recorded here is stored and grabbed by the shortcut library at once, and
// the action installed at start-up follows its name.

#include <memory>

#include "platform/UserDefaults.h"
#include "windows/LaunchAtLoginToggle.h"
#include "windows/SettingsTabPage.h"
#include "windows/ShortcutRows.h"
#include "windows/ShortcutsTabModel.h"

class QLabel;
class QSlider;

namespace windows {

class ShortcutsTabView : public SettingsTabPage {
public:
    explicit ShortcutsTabView(std::shared_ptr<platform::UserDefaults> defaults, QWidget* parent = nullptr);

    ShortcutsTabModel& model() { return model_; }
    ShortcutRows* rows() const { return rows_; }
    QSlider* delaySlider() const { return slider_; }
    QLabel* delayText() const { return delayText_; }
    QLabel* delayDescription() const { return delayDescription_; }
    LaunchAtLogin::Toggle* launchToggle() const { return launchToggle_; }

    static constexpr int kDelayTextWidth = 70;

private:
    ShortcutsTabModel model_;
    ShortcutRows* rows_;
    QSlider* slider_;
    QLabel* delayText_;
    QLabel* delayDescription_;
    LaunchAtLogin::Toggle* launchToggle_;
};

}  // namespace windows
