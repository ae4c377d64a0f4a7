#include "desktop/PermissionWindow.h"

#include <QLayout>

#include <algorithm>

#include "desktop/AccessibilityPermissionView.h"
#include "ui/TopLevelFrame.h"

namespace desktop {

namespace {

constexpr int windowWidth = AccessibilityPermissionView::width;
constexpr int windowHeight = 400;

}  // namespace

PermissionWindow::PermissionWindow(AccessibilityManager& manager) {
    auto* frame = new ui::TopLevelFrame(QStringLiteral("Accessibility Permissions"),
                                        new AccessibilityPermissionView(manager));
    // 480 wide; at least 400 high, taller when the wrapped texts need it,
    // so no line is ever cut off.
    frame->setFixedWidth(windowWidth);
    const int height = std::max(windowHeight, frame->layout()->totalHeightForWidth(windowWidth));
    frame->resize(windowWidth, height);
    frame->centreOnScreen();
    window_ = frame;
}
PermissionWindow::~PermissionWindow() {
    // The window may be going because one of its own buttons was pressed:
    // delete it once that press is over.
    if (window_)
        window_->deleteLater();
}

void PermissionWindow::showWindow() {
    if (window_)
        window_->bringToFront();
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
