#include "panel/ModernRotatingBorder.h"

#include <QPainter>
#include <QVariantAnimation>

#include "ui/Animations.h"

namespace panel {

ModernRotatingBorder::ModernRotatingBorder(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
}

void ModernRotatingBorder::setPhase(double degrees) {
    phase_ = degrees;
    update();
}

void ModernRotatingBorder::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setClipPath(BorderLayer::outline(QRectF(rect())));
    glow_.paintConic(painter, size(), phase_, 0.5);
    line_.paintConic(painter, size(), phase_, 1.0);
}

void ModernRotatingBorder::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (turn_ || !ui::Animations::enabled())
        return;  // with animations off the border holds its first frame
    auto* turn = new QVariantAnimation(this);
    turn->setStartValue(0.0);
    turn->setEndValue(360.0);
    turn->setDuration(ui::Animations::durationMs(kTurnSeconds));
    turn->setEasingCurve(QEasingCurve::Linear);
    turn->setLoopCount(-1);
    connect(turn, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) { setPhase(value.toDouble()); });
    turn_ = turn;
    turn->start(QAbstractAnimation::DeleteWhenStopped);
}

void ModernRotatingBorder::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (turn_)
        turn_->stop();  // nothing turns while nobody sees it
}

}  // namespace panel
