#include "panel/CustomScrollbar.h"

#include <QPainter>

#include "ui/Palette.h"

namespace panel {

CustomScrollbar::CustomScrollbar(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
}

QRect CustomScrollbar::trackRect(const QSize& parentSize) {
    return {parentSize.width() - kEdgeInset - kWidth, kEndInset, kWidth,
            std::max(0, parentSize.height() - 2 * kEndInset)};
}

void CustomScrollbar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(ui::Palette::color(ui::Colour::White, 0.15));
    const QRectF track(rect());
    painter.drawRoundedRect(track, track.width() / 2, track.width() / 2);
}

}  // namespace panel
