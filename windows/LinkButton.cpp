#include "windows/LinkButton.h"

#include <QDesktopServices>
#include <QPainter>

#include "ui/Palette.h"
#include "ui/TextStyle.h"

namespace windows {

LinkButton::LinkButton(const QString& text, const QUrl& url, QWidget* parent) : QAbstractButton(parent), url_(url) {
    setText(text);
    setCursor(Qt::PointingHandCursor);
    setFont(ui::TextStyles::font(ui::TextStyle::Subheadline));
    setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
    connect(this, &QAbstractButton::clicked, this, [this] { QDesktopServices::openUrl(url_); });
}

QSize LinkButton::sizeHint() const {
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(text()), metrics.height()};
}

void LinkButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(ui::Palette::color(ui::Colour::Blue));
    painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter, text());
}

}  // namespace windows
