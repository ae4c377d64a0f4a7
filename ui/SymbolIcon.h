#pragma once

// Symbol images by the names the windows use ("arrow.up", "eye.slash.fill",
// "xmark.circle.fill"...), plus the image resources "menubar-icon" and the
// provider images "openai", "claude", "gemini" and "ollama". All artwork is
// our own, painted from paths on a 24 x 24 grid, one colour (the caller's),
// so it scales to any pixel size and takes any tint.
//
//   ui::SymbolIcon::apply(*button, "trash", ui::Palette::color(ui::Colour::Grey), 14);
//   auto* icon = new ui::SymbolView("lock.shield", ui::Palette::color(ui::Colour::Accent), 48, parent);
//   ui::SymbolIcon::paint(painter, rect, "checkmark", colour);
//
// Every widget that shows a symbol carries its name in the dynamic property
// "symbolName" (`SymbolIcon::nameOf(widget)`), so tests check names, not pixels.
// A window that needs a symbol not listed here adds it to the table in
// SymbolIcon.cpp. Unknown names draw nothing and log once.

#include <QColor>
#include <QIcon>
#include <QPainterPath>
#include <QPixmap>
#include <QString>
#include <string>
#include <string_view>
#include <vector>

class QAbstractButton;
class QPainter;
class QRectF;
class QWidget;

namespace ui {

class SymbolIcon {
public:
    // The dynamic property that holds a widget's symbol name.
    static constexpr const char* property = "symbolName";

    static bool has(std::string_view name);
    static std::vector<std::string> names();

    // The symbol's outline on the 24 x 24 grid (empty for unknown names).
    static QPainterPath path(std::string_view name);

    // Fills the symbol into `rect`, centred, aspect kept.
    static void paint(QPainter& painter, const QRectF& rect, std::string_view name, const QColor& colour);
    static QPixmap pixmap(std::string_view name, int pixelSize, const QColor& colour, qreal devicePixelRatio = 1.0);
    static QIcon icon(std::string_view name, int pixelSize, const QColor& colour);

    // Shows the symbol as the button's icon at `pixelSize` and tags the button.
    static void apply(QAbstractButton& button, std::string_view name, const QColor& colour, int pixelSize);
    static void tag(QWidget& widget, std::string_view name);
    static QString nameOf(const QWidget& widget);
};

}  // namespace ui
