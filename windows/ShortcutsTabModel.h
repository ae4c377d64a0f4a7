#pragma once

// What the Shortcuts tab shows and does, without a display: the four global
// shortcuts with their rows, and the auto-submit delay of voice input.
//
//   ShortcutsTabModel model(defaults);
//   model.delayText();                 // "2.0 seconds" while nothing is stored
//   model.setSliderPosition(8);        // stores 5.0 under "silenceDuration"
//
// The delay is the double under "silenceDuration", 2.0 while nothing (or no
// number) is stored; reading it stores nothing. The slider runs from 1.0 to
// 5.0 in steps of 0.5; a stored value outside that range or between two steps
// sits at the nearest step of the slider while the text shows it as stored.
// Nothing here is reported to analytics.

#include <QString>
#include <array>
#include <memory>
#include <string_view>

#include "GlobalShortcuts/Name.h"
#include "platform/UserDefaults.h"

namespace windows {

class ShortcutsTabModel {
public:
    struct Row {
        std::string_view title;
        std::string_view description;
        const GlobalShortcuts::Name& (*name)();
        int height;
    };
    static const std::array<Row, 4>& rows();

    static constexpr std::string_view kSilenceDurationKey = "silenceDuration";
    static constexpr double kDefaultDelay = 2.0;
    static constexpr double kMinimumDelay = 1.0;
    static constexpr double kMaximumDelay = 5.0;
    // Slider positions 0..kSliderSteps, each half a second.
    static constexpr int kSliderSteps = 8;

    explicit ShortcutsTabModel(std::shared_ptr<platform::UserDefaults> defaults);

    double silenceDuration() const;
    void setSilenceDuration(double seconds);

    int sliderPosition() const;
    void setSliderPosition(int position);

    // "2.0 seconds": one decimal, whatever the locale.
    QString delayText() const { return delayText(silenceDuration()); }
    static QString delayText(double seconds);

private:
    std::shared_ptr<platform::UserDefaults> defaults_;
};

}  // namespace windows
