#pragma once

#include <QPointF>
#include <QTimer>
#include <QWidget>

#include <utility>

#include "panel/BorderLayer.h"

namespace panel {

// The older form of the moving outline, kept beside the conic one: three
// layers (outer glow, inner glow, line) filled with a linear gradient whose
// start point walks clockwise round the frame, one side per unit of `phase`,
// growing 0.02 on each 1/60 s tick.
class LegacyRotatingBorder final : public QWidget {
public:
    static constexpr double kStep = 0.02;
    static constexpr double kOuterGlowLead = 0.1;

    explicit LegacyRotatingBorder(QWidget* parent = nullptr);

    // Start and end of the gradient in unit points of a frame (0,0 top left,
    // 1,1 bottom right): the start at edge position phase mod 4, the end 0.3
    // of a side ahead of it, held at the next corner.
    static std::pair<QPointF, QPointF> gradientPoints(double phase);

    double phase() const { return phase_; }
    void setPhase(double phase);
    // One 1/60 s step.
    void tick();

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    double phase_ = 0;
    QTimer timer_;
    BorderLayer outerGlow_{{4, 6, 8}};
    BorderLayer innerGlow_{{4, 4, 4}};
    BorderLayer line_{{0, 2, 0}};
};

}  // namespace panel
