#include "ui/ToggleSwitch.h"

#include <QPainter>
#include <QPainterPath>
#include <QVariantAnimation>

#include "ui/Animations.h"
#include "ui/Palette.h"

namespace ui {

ToggleSwitch::ToggleSwitch(QWidget* parent) : QAbstractButton(parent) {
    setCheckable(true);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize ToggleSwitch::sizeHint() const { return {trackWidth, trackHeight}; }

QSize ToggleSwitch::minimumSizeHint() const { return sizeHint(); }

bool ToggleSwitch::hitButton(const QPoint& pos) const { return rect().contains(pos); }

// Set from code (setChecked): the knob is simply where the state says.
void ToggleSwitch::checkStateSet() {
    QAbstractButton::checkStateSet();
    moveKnob(false);
}

// Set by the user (click, Space): the knob slides.
void ToggleSwitch::nextCheckState() {
    QAbstractButton::nextCheckState();
    moveKnob(true);
}

void ToggleSwitch::moveKnob(bool animated) {
    const qreal target = isChecked() ? 1.0 : 0.0;
    if (animation_) animation_->stop();
    if (!animated) {
        knob_ = target;
        update();
        return;
    }
    auto* animation = new QVariantAnimation(this);
    animation->setStartValue(knob_);
    animation->setEndValue(target);
    animation->setDuration(Animations::durationMs(Animations::defaultDuration));
    animation->setEasingCurve(Animations::easeInOut());
    connect(animation, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        knob_ = value.toReal();
        update();
    });
    animation_ = animation;
    Animations::start(animation);
}

void ToggleSwitch::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF track = QRectF(0, 0, trackWidth, trackHeight).translated((width() - trackWidth) / 2.0, (height() - trackHeight) / 2.0);
    const qreal radius = track.height() / 2;

    const QColor off = Palette::grey(0.3);
    const QColor on = Palette::color(Colour::Blue);
    const auto mix = [&](int a, int b) { return static_cast<int>(a + (b - a) * knob_); };
    QColor fill(mix(off.red(), on.red()), mix(off.green(), on.green()), mix(off.blue(), on.blue()));
    if (!isEnabled()) fill.setAlphaF(0.5f);

    QPainterPath trackPath;
    trackPath.addRoundedRect(track, radius, radius);
    painter.fillPath(trackPath, fill);
    if (hasFocus()) {
        painter.setPen(QPen(Palette::color(Colour::Accent, 0.6), 2));
        painter.drawPath(trackPath);
    }

    const qreal inset = 2;
    const qreal diameter = track.height() - 2 * inset;
    const qreal left = track.left() + inset + (track.width() - 2 * inset - diameter) * knob_;
    painter.setPen(Qt::NoPen);
    painter.setBrush(isEnabled() ? Palette::color(Colour::White) : Palette::grey(0.7));
    painter.drawEllipse(QRectF(left, track.top() + inset, diameter, diameter));
}

}  // namespace ui
