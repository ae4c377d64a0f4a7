#include "loading/LoadingIndicator.h"

#include <QPaintEvent>
#include <QPainter>
#include <QTimerEvent>
#include <cmath>
#include <numbers>

#include "ui/Animations.h"

namespace loading {

namespace {

// A repaint about every screen frame.
constexpr int kFrameMs = 16;

double easeInOut(double progress) { return ui::Animations::easeInOut().valueForProgress(progress); }

}  // namespace

LoadingIndicator::Balls LoadingIndicator::threeBallsTriangle(double seconds, double side, double speed) {
    const double period = threeBallsTrianglePeriod(speed);
    const double diameter = side / 3.0;
    Balls balls{{}, diameter};
    if (!(period > 0.0) || !std::isfinite(seconds) || seconds < 0.0) seconds = 0.0;
    const double safePeriod = period > 0.0 ? period : 1.0;

    // Out to the corners in one period, back in the next.
    const double leg = std::fmod(seconds, 2.0 * safePeriod);
    const double outward = leg < safePeriod ? leg / safePeriod : (2.0 * safePeriod - leg) / safePeriod;
    const double spread = easeInOut(outward);
    // A full turn per period, starting over without reversing.
    const double turn = easeInOut(std::fmod(seconds, safePeriod) / safePeriod) * 2.0 * std::numbers::pi;

    // The corners of an upright triangle whose balls still fit in the frame.
    const double reach = side / 2.0 - diameter / 2.0;
    const QPointF centre(side / 2.0, side / 2.0);
    for (int i = 0; i < 3; ++i) {
        const double angle = -std::numbers::pi / 2.0 + i * 2.0 * std::numbers::pi / 3.0 + turn;
        balls.centres[i] = centre + QPointF(std::cos(angle), std::sin(angle)) * (reach * spread);
    }
    return balls;
}

LoadingIndicator::LoadingIndicator(LoadingAnimation animation, const QColor& colour, Size size, Speed speed,
                                   QWidget* parent)
    : QWidget(parent), animation_(animation), colour_(colour), side_(sideOf(size)), speed_(secondsOf(speed)) {
    const int pixels = static_cast<int>(side_);
    setFixedSize(pixels, pixels);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

QSize LoadingIndicator::sizeHint() const {
    const int pixels = static_cast<int>(side_);
    return {pixels, pixels};
}

void LoadingIndicator::paintEvent(QPaintEvent*) {
    const double seconds = clock_.isValid() ? static_cast<double>(clock_.elapsed()) / 1000.0 : 0.0;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour_);
    switch (animation_) {
        case LoadingAnimation::threeBallsTriangle: {
            const Balls balls = threeBallsTriangle(seconds, side_, speed_);
            const double radius = balls.diameter / 2.0;
            for (const QPointF& centre : balls.centres) painter.drawEllipse(centre, radius, radius);
            break;
        }
    }
}

void LoadingIndicator::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (ui::Animations::enabled() && timerId_ == 0) {
        clock_.start();
        timerId_ = startTimer(kFrameMs, Qt::PreciseTimer);
    }
}

void LoadingIndicator::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (timerId_ != 0) killTimer(timerId_);
    timerId_ = 0;
    clock_.invalidate();
}

void LoadingIndicator::timerEvent(QTimerEvent* event) {
    if (event->timerId() == timerId_) update();
}

}  // namespace loading
