#pragma once

// A badge: its content in a row with 6 px of padding left and right and 2 px
// top and bottom, on a rounded rectangle (radius 4) of the badge colour.
//
//   auto* badge = new ui::Badge(ui::Palette::color(ui::Colour::Purple, 0.2), parent);
//   badge->addWidget(new ui::SymbolView("app.fill", grey, 10));
//   badge->addWidget(new ui::PlainLabel(entry.applicationName, ui::TextStyle::Caption, white));
//   badge->setSpacing(4);
//
// The background colour is also the dynamic property "background", for tests.

#include "ui/RoundedSurface.h"

class QHBoxLayout;
class QPainter;
class QRectF;

namespace ui {

class Badge : public RoundedSurface {
public:
    explicit Badge(const QColor& background, QWidget* parent = nullptr);

    void addWidget(QWidget* widget);
    void setSpacing(int pixels);
    QHBoxLayout* row() const { return row_; }

    static constexpr int horizontalPadding = 6;
    static constexpr int verticalPadding = 2;
    static constexpr qreal cornerRadius = 4.0;

    // Paints a badge's background into `rect`, for rows drawn by a delegate
    // rather than made of widgets.
    static void paintBackground(QPainter& painter, const QRectF& rect, const QColor& colour);

private:
    QHBoxLayout* row_;
};

}  // namespace ui
