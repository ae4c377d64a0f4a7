#pragma once

#include <QPointer>
#include <QWidget>

#include "panel/BorderLayer.h"

class QVariantAnimation;

namespace panel {

// The panel's moving outline: a soft glow (half opacity, 4 wide, 4 in,
// blurred 6) under a 2-wide line, both filled with a conic gradient of the
// palette whose start angle `phase` turns clockwise once every 4 s, with no
// jump at the turn. Takes no input.
class ModernRotatingBorder final : public QWidget {
public:
    static constexpr double kTurnSeconds = 4.0;

    explicit ModernRotatingBorder(QWidget* parent = nullptr);

    double phase() const { return phase_; }
    // Tests and pictures hold the border at a given angle.
    void setPhase(double degrees);

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    double phase_ = 0;
    BorderLayer glow_{{4, 4, 6}};
    BorderLayer line_{{0, 2, 0}};
    QPointer<QVariantAnimation> turn_;
};

}  // namespace panel
