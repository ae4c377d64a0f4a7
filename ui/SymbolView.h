#pragma once

// A widget that shows one symbol (see SymbolIcon.h) in a square of
// `pixelSize` pixels, in one colour.
//
//   auto* quote = new ui::SymbolView("text.quote", ui::Palette::color(ui::Colour::Blue), 10, row);
//   quote->setSymbol("text.quote.rtl");      // also updates the "symbolName" property
//
// Its name is the dynamic property "symbolName", as on every symbol widget.

#include <QColor>
#include <QString>
#include <QWidget>
#include <string_view>

namespace ui {

class SymbolView : public QWidget {
public:
    SymbolView(std::string_view name, const QColor& colour, int pixelSize, QWidget* parent = nullptr);

    void setSymbol(std::string_view name);
    void setColour(const QColor& colour);
    void setPixelSize(int pixelSize);

    QString symbol() const { return name_; }
    QColor colour() const { return colour_; }
    int pixelSize() const { return pixelSize_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString name_;
    QColor colour_;
    int pixelSize_;
};

}  // namespace ui
