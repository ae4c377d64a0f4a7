#pragma once

// An on/off switch (38 x 22 px): a rounded track, blue when on and grey when
// off, with a white knob that slides over with the default animation.
//
//   auto* toggle = new ui::ToggleSwitch(parent);
//   toggle->setChecked(model.launchAtLogin());            // no animation when set from code
//   connect(toggle, &QAbstractButton::toggled, &model, [&](bool on) { model.setLaunchAtLogin(on); });
//
// It is a checkable QAbstractButton: click, Space and setChecked() all work,
// and the accessible name comes from setAccessibleName/setText.

#include <QAbstractButton>
#include <QPointer>

class QVariantAnimation;

namespace ui {

class ToggleSwitch : public QAbstractButton {
public:
    explicit ToggleSwitch(QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // 0 with the knob at the left (off), 1 at the right (on).
    qreal knobPosition() const { return knob_; }

    static constexpr int trackWidth = 38;
    static constexpr int trackHeight = 22;

protected:
    void paintEvent(QPaintEvent* event) override;
    void checkStateSet() override;
    void nextCheckState() override;
    bool hitButton(const QPoint& pos) const override;

private:
    void moveKnob(bool animated);

    qreal knob_ = 0;
    QPointer<QVariantAnimation> animation_;
};

}  // namespace ui
