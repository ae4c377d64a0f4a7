#pragma once

// A small busy indicator: shapes in one colour that move by themselves while
// the widget is shown, and stop when it is hidden or gone.
//
//   auto* busy = new loading::LoadingIndicator(loading::LoadingIndicator::LoadingAnimation::threeBallsTriangle,
//                                              Qt::white, loading::LoadingIndicator::Size::small,
//                                              loading::LoadingIndicator::Speed::fast, parent);
//
// The widget is a square of `size` pixels. With the animations switch off
// (ui::Animations) it draws its first frame and stays still.

#include <QColor>
#include <QElapsedTimer>
#include <QPointF>
#include <QWidget>
#include <array>

namespace loading {

class LoadingIndicator : public QWidget {
public:
    enum class LoadingAnimation { threeBallsTriangle };
    // The side of the square frame, in pixels.
    enum class Size { small = 25, medium = 50, large = 100, extraLarge = 150 };
    // The base time, in milliseconds, each animation multiplies by its own factor.
    enum class Speed { slow = 1000, normal = 500, fast = 250 };

    static double sideOf(Size size) { return static_cast<double>(size); }
    static double secondsOf(Speed speed) { return static_cast<double>(speed) / 1000.0; }

    // Where the three balls of `threeBallsTriangle` are `seconds` after the
    // start, in a frame of `side` pixels at the base time `speed` seconds.
    struct Balls {
        std::array<QPointF, 3> centres;
        double diameter;
    };
    // Period of both motions (out-and-back leg, and the turn): twice the speed.
    static double threeBallsTrianglePeriod(double speed) { return 2.0 * speed; }
    static Balls threeBallsTriangle(double seconds, double side, double speed);

    LoadingIndicator(LoadingAnimation animation, const QColor& colour, Size size, Speed speed,
                     QWidget* parent = nullptr);

    LoadingAnimation animation() const { return animation_; }
    QColor colour() const { return colour_; }
    double side() const { return side_; }
    double speed() const { return speed_; }
    // Whether the indicator is moving (shown, animations on).
    bool isAnimating() const { return timerId_ != 0; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    LoadingAnimation animation_;
    QColor colour_;
    double side_;
    double speed_;
    QElapsedTimer clock_;
    int timerId_ = 0;
};

}  // namespace loading
