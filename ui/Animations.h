#pragma once

// The program-wide animations switch and the standard curves.
//
//   auto* fade = new QVariantAnimation(widget);
//   fade->setDuration(ui::Animations::durationMs(0.2));   // 0.2 s ease-in
//   fade->setEasingCurve(ui::Animations::easeIn());
//   ui::Animations::start(fade);        // with animations off: end value at once, finished() emitted
//
//   ui::Animations::setEnabled(false);  // tests: every animation jumps to its end
//
// Repeating animations (spinners, the rotating border) check `enabled()` and
// draw their first frame still when it is false. The switch starts on, unless
// the environment variable QUILLARY_ANIMATIONS is "0" (used by end-to-end tests).

#include <QAbstractAnimation>
#include <QEasingCurve>

namespace ui {

class Animations {
public:
    static bool enabled();
    static void setEnabled(bool enabled);

    // Starts `animation`; with animations off it reaches its end at once and
    // emits finished() before this returns. Deleted when stopped, if asked.
    static void start(QAbstractAnimation* animation,
                      QAbstractAnimation::DeletionPolicy policy = QAbstractAnimation::DeleteWhenStopped);

    // The desktop's default animation: ease-in-out over 0.35 s.
    static constexpr double defaultDuration = 0.35;
    static int durationMs(double seconds);
    static QEasingCurve easeIn();
    static QEasingCurve easeOut();
    static QEasingCurve easeInOut();
};

}  // namespace ui
