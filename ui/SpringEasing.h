#pragma once

// The damped spring the panel and its controls move with, given as the
// desktop describes springs: a response (the period of the undamped spring,
// in seconds) and a damping fraction (1 = critically damped, no overshoot;
// below 1 overshoots and settles). Mass 1, starting at rest.
//
//   ui::SpringEasing spring(0.4, 0.8);
//   double x = spring.valueAt(0.1);                 // 0 at t = 0, settles at 1
//   auto* anim = new ui::SpringAnimation(spring, widget);   // a QVariantAnimation
//   anim->setStartValue(0.9); anim->setEndValue(1.0);
//   ui::Animations::start(anim);                   // honours the animations switch

#include <QVariantAnimation>

namespace ui {

class SpringEasing {
public:
    SpringEasing(double response, double dampingFraction);

    // The spring's position at `seconds` after release, from 0 towards 1.
    double valueAt(double seconds) const;
    // The first moment after which the spring stays within `tolerance` of 1.
    double settlingTime(double tolerance = 0.001) const;

    double response() const { return response_; }
    double dampingFraction() const { return damping_; }

private:
    double response_;
    double damping_;
    double omega_;  // natural angular frequency 2π / response
};

// A QVariantAnimation that runs from its start to its end value along the
// spring; its duration is the spring's settling time. Values overshoot the
// end value when the spring does (damping fraction below 1).
class SpringAnimation : public QVariantAnimation {
public:
    explicit SpringAnimation(const SpringEasing& spring, QObject* parent = nullptr);
    const SpringEasing& spring() const { return spring_; }

protected:
    QVariant interpolated(const QVariant& from, const QVariant& to, qreal progress) const override;

private:
    SpringEasing spring_;
};

}  // namespace ui
