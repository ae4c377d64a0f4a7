#pragma once

// The panel's appear and disappear effect as one graphics effect (a widget
// holds only one): opacity, a uniform scale about the centre, and a blur.
//
//   auto* effect = new panel::PanelAppearanceEffect;
//   effect->setAppearance(0.0, 0.9, 10.0);
//   view->setGraphicsEffect(effect);           // the view owns it
//   ...
//   view->setGraphicsEffect(nullptr);          // at rest: drawn directly again

#include <QGraphicsEffect>

namespace panel {

class PanelAppearanceEffect final : public QGraphicsEffect {
public:
    explicit PanelAppearanceEffect(QObject* parent = nullptr);

    void setAppearance(double opacity, double scale, double blurRadius);
    double opacity() const { return opacity_; }
    double scale() const { return scale_; }
    double blurRadius() const { return blurRadius_; }

    // A blurred copy of `image`: shrunk in proportion to the radius and
    // smoothly enlarged again, which costs far less than a true Gaussian and
    // looks the same for a panel that is fading in.
    static QImage blurred(const QImage& image, double radius);

    QRectF boundingRectFor(const QRectF& rect) const override;

protected:
    void draw(QPainter* painter) override;

private:
    double opacity_ = 1.0;
    double scale_ = 1.0;
    double blurRadius_ = 0.0;
};

}  // namespace panel
