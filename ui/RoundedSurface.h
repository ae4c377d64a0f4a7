#pragma once

// A widget that fills only its rounded rectangle with one colour: no square
// corner shows on whatever lies behind it. Badges, the settings panels and
// their rounded fields are drawn by it.
//
//   auto* box = new ui::RoundedSurface(ui::Palette::color(ui::Colour::Surface20), 8, parent);
//   new QVBoxLayout(box);                        // the content goes in a layout of its own
//
// The colour is also the dynamic property "background", for tests.

#include <QColor>
#include <QWidget>

class QPainter;
class QRectF;

namespace ui {

class RoundedSurface : public QWidget {
public:
    RoundedSurface(const QColor& background, qreal cornerRadius, QWidget* parent = nullptr);

    QColor background() const { return background_; }
    void setBackground(const QColor& colour);

    // The same fill into `rect` of a painter, for rows drawn by a delegate
    // rather than made of widgets. The painter's state is left as it was.
    static void paint(QPainter& painter, const QRectF& rect, qreal cornerRadius, const QColor& colour);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor background_;
    qreal cornerRadius_;
};

}  // namespace ui
