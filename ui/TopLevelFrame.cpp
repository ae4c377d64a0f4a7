#include "ui/TopLevelFrame.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>

#include "ui/Palette.h"

namespace ui {

TopLevelFrame::TopLevelFrame(const QString& title, QWidget* content)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                           Qt::WindowStaysOnTopHint) {
    setWindowTitle(title);
    setAttribute(Qt::WA_DeleteOnClose, false);
    setAutoFillBackground(true);
    QPalette palette = Palette::windowPalette();
    palette.setColor(QPalette::Window, Palette::color(Colour::Surface12));
    setPalette(palette);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(content);
}

void TopLevelFrame::centreOnScreen() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    QRect area(QPoint(), size());
    area.moveCenter(screen->availableGeometry().center());
    move(area.topLeft());
}

void TopLevelFrame::bringToFront() {
    show();
    raise();
    activateWindow();
}

void TopLevelFrame::mousePressEvent(QMouseEvent* event) {
    // Presses that no control took land here.
    if (event->button() == Qt::LeftButton && windowHandle() && windowHandle()->startSystemMove()) return;
    QWidget::mousePressEvent(event);
}

}  // namespace ui
