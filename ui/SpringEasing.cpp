#include "ui/SpringEasing.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace ui {

SpringEasing::SpringEasing(double response, double dampingFraction)
    : response_(std::max(response, 1e-3)),
      damping_(std::max(dampingFraction, 0.0)),
      omega_(2.0 * std::numbers::pi / response_) {}

double SpringEasing::valueAt(double t) const {
    if (t <= 0) return 0.0;
    const double w = omega_;
    const double z = damping_;
    if (std::abs(z - 1.0) < 1e-9) return 1.0 - (1.0 + w * t) * std::exp(-w * t);
    if (z < 1.0) {
        const double wd = w * std::sqrt(1.0 - z * z);
        return 1.0 - std::exp(-z * w * t) * (std::cos(wd * t) + (z * w / wd) * std::sin(wd * t));
    }
    // Overdamped: two decaying exponentials, x(0) = 0 and x'(0) = 0.
    const double root = std::sqrt(z * z - 1.0);
    const double r1 = -w * (z - root);
    const double r2 = -w * (z + root);
    return 1.0 - (r2 * std::exp(r1 * t) - r1 * std::exp(r2 * t)) / (r2 - r1);
}

double SpringEasing::settlingTime(double tolerance) const {
    // Walk a bound of the displacement, which only shrinks, instead of the
    // displacement itself, which crosses zero while an underdamped spring swings.
    const auto bound = [&](double t) {
        const double w = omega_;
        const double z = damping_;
        if (std::abs(z - 1.0) < 1e-9) return (1.0 + w * t) * std::exp(-w * t);
        if (z < 1.0) return std::exp(-z * w * t) / std::sqrt(1.0 - z * z);
        return std::abs(1.0 - valueAt(t));
    };
    // A spring without damping never settles: it stops after a minute.
    int milliseconds = 0;
    while (bound(milliseconds / 1000.0) > tolerance && milliseconds < 60000) ++milliseconds;
    return milliseconds / 1000.0;
}

SpringAnimation::SpringAnimation(const SpringEasing& spring, QObject* parent) : QVariantAnimation(parent), spring_(spring) {
    setDuration(std::max(1, static_cast<int>(std::lround(spring_.settlingTime() * 1000.0))));
    setEasingCurve(QEasingCurve::Linear);
}

QVariant SpringAnimation::interpolated(const QVariant& from, const QVariant& to, qreal progress) const {
    const double seconds = progress * duration() / 1000.0;
    const double position = progress >= 1.0 ? 1.0 : spring_.valueAt(seconds);
    return QVariantAnimation::interpolated(from, to, position);
}

}  // namespace ui
