#include "ui/Animations.h"

#include <QPointF>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace ui {
namespace {

bool enabledFromEnvironment() {
    const char* value = std::getenv("QUILLARY_ANIMATIONS");
    return !(value && std::strcmp(value, "0") == 0);
}

std::atomic<bool>& flag() {
    static std::atomic<bool> value{enabledFromEnvironment()};
    return value;
}

// The cubic Bézier timing curves of the desktop (the same as CSS's ease-in,
// ease-out and ease-in-out).
QEasingCurve bezier(QPointF c1, QPointF c2) {
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(c1, c2, QPointF(1, 1));
    return curve;
}

}  // namespace

bool Animations::enabled() { return flag().load(); }

void Animations::setEnabled(bool enabled) { flag().store(enabled); }

void Animations::start(QAbstractAnimation* animation, QAbstractAnimation::DeletionPolicy policy) {
    const bool finite = animation->totalDuration() >= 0;
    animation->start(policy);
    // Setting the time to the end while running stops the animation, which
    // emits finished() and applies the deletion policy.
    if (!enabled() && finite) animation->setCurrentTime(animation->totalDuration());
}

int Animations::durationMs(double seconds) { return static_cast<int>(std::lround(seconds * 1000.0)); }

QEasingCurve Animations::easeIn() { return bezier({0.42, 0.0}, {1.0, 1.0}); }

QEasingCurve Animations::easeOut() { return bezier({0.0, 0.0}, {0.58, 1.0}); }

QEasingCurve Animations::easeInOut() { return bezier({0.42, 0.0}, {0.58, 1.0}); }

}  // namespace ui
