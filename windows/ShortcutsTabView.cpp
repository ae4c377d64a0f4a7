#include "windows/ShortcutsTabView.h"

#include <QHBoxLayout>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include "ui/Palette.h"
#include "ui/PlainLabel.h"
#include "windows/SettingsPanel.h"
#include "windows/SteppedSliderRow.h"

namespace windows {
namespace {

constexpr int kPanelSpacing = 16;

ui::PlainLabel* label(const char* text, ui::TextStyle style, ui::Colour colour) {
    return new ui::PlainLabel(QString::fromUtf8(text), style, ui::Palette::color(colour));
}

// A panel's leading-aligned column.
QVBoxLayout* stack(QWidget* content, int spacing) {
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return layout;
}

}  // namespace

ShortcutsTabView::ShortcutsTabView(std::shared_ptr<platform::UserDefaults> defaults, QWidget* parent)
    : SettingsTabPage(parent), model_(std::move(defaults)) {
    auto* shortcuts = new QWidget;
    auto* shortcutsColumn = stack(shortcuts, kPanelSpacing);
    shortcutsColumn->addWidget(label("Global Keyboard Shortcuts", ui::TextStyle::Headline, ui::Colour::White));
    shortcutsColumn->addWidget(label("Configure keyboard shortcuts to quickly access Quillary from anywhere",
                                     ui::TextStyle::Subheadline, ui::Colour::Grey));
    rows_ = new ShortcutRows;
    shortcutsColumn->addWidget(rows_);
    addPanel(new SettingsPanel(shortcuts));

    auto* audio = new QWidget;
    auto* audioColumn = stack(audio, kPanelSpacing);
    audioColumn->addWidget(label("Audio Settings", ui::TextStyle::Headline, ui::Colour::White));
    auto* delay = stack(new QWidget, 8);
    audioColumn->addWidget(delay->parentWidget());
    delay->addWidget(label("Auto-Submit Delay", ui::TextStyle::Body, ui::Colour::White));
    delayDescription_ = label(
        "When using Instant Audio Mode, Quillary will automatically stop recording and submit after this many "
        "seconds of silence",
        ui::TextStyle::Caption, ui::Colour::Grey);
    delayDescription_->setWordWrap(true);
    delay->addWidget(delayDescription_);

    SteppedSliderRow delayRow(ShortcutsTabModel::kSliderSteps, kDelayTextWidth);
    slider_ = delayRow.slider;
    {
        // Showing the value stores nothing: only a move of the slider does.
        const QSignalBlocker blocker(slider_);
        slider_->setValue(model_.sliderPosition());
    }
    delayText_ = delayRow.value;
    delayText_->setText(model_.delayText());
    auto* sliderRow = delayRow.layout;
    delay->addLayout(sliderRow);
    QObject::connect(slider_, &QSlider::valueChanged, this, [this](int position) {
        model_.setSliderPosition(position);
        delayText_->setText(model_.delayText());
    });
    addPanel(new SettingsPanel(audio));

    auto* launch = new QWidget;
    auto* launchColumn = stack(launch, kPanelSpacing);
    launchColumn->addWidget(label("Launch Quillary on Login", ui::TextStyle::Headline, ui::Colour::White));
    auto* launchRow = new QHBoxLayout;
    launchRow->addWidget(label("Allow Quillary to automatically start up when you log in", ui::TextStyle::Subheadline,
                               ui::Colour::Grey),
                         0, Qt::AlignVCenter);
    launchRow->addStretch(1);
    launchToggle_ = new LaunchAtLogin::Toggle(
        [] { return label("Enabled", ui::TextStyle::Body, ui::Colour::White); });
    launchRow->addWidget(launchToggle_, 0, Qt::AlignVCenter);
    launchColumn->addLayout(launchRow);
    addPanel(new SettingsPanel(launch));
}

}  // namespace windows
