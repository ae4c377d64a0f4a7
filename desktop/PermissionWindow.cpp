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
    frame->setFixedSize(windowWidth, std::max(windowHeight, frame->layout()->totalHeightForWidth(windowWidth)));
    frame->centreOnScreen();
    window_ = frame;
}

PermissionWindow::~PermissionWindow() {
    // Not closed before: the manager is going at quit, when no event loop
    // runs any more to carry out a deferred delete.
    delete window_.data();
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
    if (QWidget* window = window_.data()) {
        window_ = nullptr;
        window->close();
        // The close may come from one of the window's own buttons: delete it
        // once that press is over.
        window->deleteLater();
    }
}

}  // namespace desktop
