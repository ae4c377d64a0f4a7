#pragma once

// A borderless button that is only a symbol (see ui/SymbolIcon.h) in one
// colour, in a fixed slot: the panel's chat, microphone and send buttons.
//
//   auto* chat = new ui::SymbolButton("bubble.left.and.bubble.right", grey, 14, QSize(18, 16), row);
//   chat->setSymbol("bubble.left.and.bubble.right.fill", blue);
//   chat->setSymbolVisible(false);     // the slot stays, something else draws over it
//
// The symbol's name is the widget's "symbolName" property.

#include <QAbstractButton>
#include <QColor>
#include <string_view>

namespace ui {

class SymbolButton : public QAbstractButton {
public:
    SymbolButton(std::string_view symbol, const QColor& colour, int pixelSize, QSize slot, QWidget* parent = nullptr);

    void setSymbol(std::string_view symbol, const QColor& colour);
    void setSymbolVisible(bool visible);
    QString symbol() const { return symbol_; }
    QColor colour() const { return colour_; }
    int pixelSize() const { return pixelSize_; }

    QSize sizeHint() const override { return slot_; }
    QSize minimumSizeHint() const override { return slot_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString symbol_;
    QColor colour_;
    int pixelSize_;
    QSize slot_;
    bool symbolVisible_ = true;
};

}  // namespace ui
