#include "desktop/PermissionWindow.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QVBoxLayout>
#include <QWidget>
#include <QWindow>

#include "desktop/AccessibilityPermissionView.h"
#include "ui/Palette.h"

namespace desktop {

namespace {

constexpr int windowWidth = AccessibilityPermissionView::width;
constexpr int windowHeight = 400;

// The window's frame: moved by dragging its background, like a window
// whose content reaches under a transparent title bar.
class PermissionFrame final : public QWidget {
public:
    PermissionFrame() : QWidget(nullptr, Qt::Window | Qt::WindowStaysOnTopHint) {}

protected:
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && windowHandle() && windowHandle()->startSystemMove())
            return;
        QWidget::mousePressEvent(event);
    }
};

}  // namespace

PermissionWindow::PermissionWindow(AccessibilityManager& manager) {
    auto* frame = new PermissionFrame;
    frame->setWindowTitle(QStringLiteral("Accessibility Permissions"));
    frame->setAttribute(Qt::WA_DeleteOnClose, false);
    frame->setAutoFillBackground(true);
    QPalette palette = ui::Palette::windowPalette();
    palette.setColor(QPalette::Window, ui::Palette::color(ui::Colour::Surface12));
    frame->setPalette(palette);

    auto* layout = new QVBoxLayout(frame);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* view = new AccessibilityPermissionView(manager);
    layout->addWidget(view);

    // 480 wide; at least 400 high, taller when the wrapped texts need it,
    // so no line is ever cut off.
    frame->setFixedWidth(windowWidth);
    const int height = std::max(windowHeight, layout->totalHeightForWidth(windowWidth));
    frame->resize(windowWidth, height);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect area(QPoint(), frame->size());
        area.moveCenter(screen->availableGeometry().center());
        frame->move(area.topLeft());
    }
    window_ = frame;
}

PermissionWindow::~PermissionWindow() {
    // The window may be going because one of its own buttons was pressed:
    // delete it once that press is over.
    if (window_)
        window_->deleteLater();
}

void PermissionWindow::showWindow() {
    if (!window_)
        return;
    window_->show();
    window_->raise();
    window_->activateWindow();
}

void PermissionWindow::orderOut() {
    if (window_)
        window_->hide();
}

void PermissionWindow::close() {
    if (window_)
        window_->close();
}

}  // namespace desktop
