#include "windows/LaunchAtLoginToggle.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>

#include "ui/ToggleSwitch.h"

namespace windows {

LaunchAtLogin::Toggle::Toggle(const LabelBuilder& label, QWidget* parent)
    : QWidget(parent), label_(label ? label() : nullptr), control_(new ui::ToggleSwitch) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    if (label_) {
        row->addWidget(label_, 0, Qt::AlignVCenter);
        if (auto* text = qobject_cast<QLabel*>(label_)) text->setBuddy(control_);
    }
    row->addWidget(control_, 0, Qt::AlignVCenter);
    setFocusProxy(control_);
    refresh();

    QObject::connect(control_, &ui::ToggleSwitch::toggled, this, [this](bool on) {
        LaunchAtLogin::setEnabled(on);
        refresh();
    });
    // Told before the change: read the new state on a later turn.
    token_ = Observable::shared().subscribe(
        [this] { QMetaObject::invokeMethod(this, &Toggle::refresh, Qt::QueuedConnection); });
}

LaunchAtLogin::Toggle::Toggle(const QString& title, QWidget* parent)
    : Toggle([title] { return new QLabel(title); }, parent) {
    if (auto* text = qobject_cast<QLabel*>(label_)) text->setTextFormat(Qt::PlainText);
}

LaunchAtLogin::Toggle::Toggle(Localized title, QWidget* parent)
    : Toggle(QCoreApplication::translate("LaunchAtLogin", title.key), parent) {}

LaunchAtLogin::Toggle::Toggle(QWidget* parent) : Toggle(QStringLiteral("Launch at login"), parent) {}

LaunchAtLogin::Toggle::~Toggle() { Observable::shared().unsubscribe(token_); }

void LaunchAtLogin::Toggle::refresh() {
    const bool on = LaunchAtLogin::isEnabled();
    if (control_->isChecked() == on) return;
    const QSignalBlocker blocker(control_);
    control_->setChecked(on);
}

}  // namespace windows
