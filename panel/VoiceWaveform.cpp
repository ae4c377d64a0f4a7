#include "panel/VoiceWaveform.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

#include "panel/BorderLayer.h"
#include "ui/Animations.h"
#include "ui/SpringEasing.h"

namespace panel {

double VoiceWaveform::barHeight(bool isRecording, float audioLevel, int index) {
    if (!isRecording) return kMinHeight;
    if (!std::isfinite(audioLevel)) audioLevel = 0.0f;
    // The floor is compared in the level's own precision: the recogniser's
    // 0.1f is a shade above the double 0.1, and still counts as quiet.
    double fraction = 0.2;
    if (audioLevel > 0.1f) fraction = std::clamp(2.0 * static_cast<double>(audioLevel) + 0.1 * index, 0.2, 1.0);
    return kMinHeight + (kMaxHeight - kMinHeight) * fraction;
}

QColor VoiceWaveform::barColour(int index) {
    // The bars take the border's first three colours, so the two match.
    return BorderLayer::paletteStops(1.0).at(std::clamp(index, 0, kNumberOfBars - 1)).second;
}

VoiceWaveform::VoiceWaveform(QWidget* parent)
    : QWidget(parent), spring_(new ui::SpringAnimation(ui::SpringEasing(0.2, 1.0), this)) {
    setFixedSize(kSide, kSide);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    shown_.fill(kMinHeight);
    from_ = to_ = shown_;
    spring_->setStartValue(0.0);
    spring_->setEndValue(1.0);
    connect(spring_, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        const double progress = value.toDouble();
        for (int i = 0; i < kNumberOfBars; ++i) shown_[i] = from_[i] + (to_[i] - from_[i]) * progress;
        update();
    });
}

void VoiceWaveform::setLevel(bool isRecording, float audioLevel) {
    isRecording_ = isRecording;
    audioLevel_ = audioLevel;
    std::array<double, kNumberOfBars> target{};
    for (int i = 0; i < kNumberOfBars; ++i) target[i] = barHeight(isRecording, audioLevel, i);
    if (target == to_) return;
    spring_->stop();
    from_ = shown_;
    to_ = target;
    ui::Animations::start(spring_, QAbstractAnimation::KeepWhenStopped);
}

void VoiceWaveform::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    // The bars stand in a 12-wide strip centred in the square.
    const double strip = (kBarWidth + kSpacing) * kNumberOfBars;
    const double content = kBarWidth * kNumberOfBars + kSpacing * (kNumberOfBars - 1);
    double x = (kSide - strip) / 2.0 + (strip - content) / 2.0;
    for (int i = 0; i < kNumberOfBars; ++i) {
        const double height = shown_[i];
        painter.setBrush(barColour(i));
        painter.drawRoundedRect(QRectF(x, (kSide - height) / 2.0, kBarWidth, height), kBarWidth / 2.0,
                                kBarWidth / 2.0);
        x += kBarWidth + kSpacing;
    }
}

}  // namespace panel
