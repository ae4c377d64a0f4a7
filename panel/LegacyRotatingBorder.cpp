#include "panel/LegacyRotatingBorder.h"

#include <QLinearGradient>
#include <QPainter>

#include <algorithm>
#include <cmath>

#include "ui/Animations.h"

namespace panel {

namespace {

QLinearGradient gradientIn(const QRectF& frame, double phase, qreal opacity) {
    const auto [start, end] = LegacyRotatingBorder::gradientPoints(phase);
    const auto at = [&frame](QPointF unit) {
        return QPointF(frame.left() + unit.x() * frame.width(), frame.top() + unit.y() * frame.height());
    };
    QLinearGradient gradient(at(start), at(end));
    gradient.setStops(BorderLayer::paletteStops(opacity));
    return gradient;
}

}  // namespace

LegacyRotatingBorder::LegacyRotatingBorder(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(1000 / 60);
    connect(&timer_, &QTimer::timeout, this, [this] { tick(); });
}

std::pair<QPointF, QPointF> LegacyRotatingBorder::gradientPoints(double phase) {
    double t = std::fmod(phase, 4.0);
    if (t < 0)
        t += 4.0;
    if (t < 1)
        return {{t, 0}, {std::min(t + 0.3, 1.0), 0}};
    if (t < 2)
        return {{1, t - 1}, {1, std::min(t - 1 + 0.3, 1.0)}};
    if (t < 3)
        return {{3 - t, 1}, {std::max(3 - t - 0.3, 0.0), 1}};
    return {{0, 4 - t}, {0, std::max(4 - t - 0.3, 0.0)}};
}

void LegacyRotatingBorder::setPhase(double phase) {
    phase_ = phase;
    update();
}

void LegacyRotatingBorder::tick() { setPhase(phase_ + kStep); }

void LegacyRotatingBorder::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setClipPath(BorderLayer::outline(QRectF(rect())));
    outerGlow_.paint(painter, size(), QBrush(gradientIn(outerGlow_.frame(size()), phase_ + kOuterGlowLead, 0.3)));
    innerGlow_.paint(painter, size(), QBrush(gradientIn(innerGlow_.frame(size()), phase_, 0.4)));
    line_.paint(painter, size(), QBrush(gradientIn(line_.frame(size()), phase_, 1.0)));
}

void LegacyRotatingBorder::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (ui::Animations::enabled())
        timer_.start();
}

void LegacyRotatingBorder::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    timer_.stop();
}

}  // namespace panel
