#pragma once

// The launch-at-login switch with its label to the left. Flipping it writes
// LaunchAtLogin::setEnabled and then shows what the registry reports, so a
// refused change flips back; every other toggle redraws after any change.
//
//   new LaunchAtLogin::Toggle([] { return new QLabel("Enabled"); }, row);   // any label
//   new LaunchAtLogin::Toggle(QStringLiteral("Enabled"), row);              // the text as it is
//   new LaunchAtLogin::Toggle(LaunchAtLogin::Toggle::Localized{"Enabled"});  // translated
//   new LaunchAtLogin::Toggle(row);                                         // "Launch at login"

#include <QString>
#include <QWidget>
#include <functional>

#include "windows/LaunchAtLogin.h"

namespace ui {
class ToggleSwitch;
}

namespace windows {

class LaunchAtLogin::Toggle : public QWidget {
public:
    using LabelBuilder = std::function<QWidget*()>;
    // A title key, translated in the "LaunchAtLogin" context.
    struct Localized {
        const char* key;
    };

    Toggle(const LabelBuilder& label, QWidget* parent = nullptr);
    Toggle(const QString& title, QWidget* parent = nullptr);
    Toggle(Localized title, QWidget* parent = nullptr);
    explicit Toggle(QWidget* parent = nullptr);
    ~Toggle() override;

    ui::ToggleSwitch* control() const { return control_; }
    QWidget* label() const { return label_; }

    // Shows the registry's state, without writing it back.
    void refresh();

private:
    QWidget* label_;
    ui::ToggleSwitch* control_;
    core::ObserverToken token_;
};

}  // namespace windows
