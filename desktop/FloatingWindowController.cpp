#include "desktop/FloatingWindowController.h"

#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QPointer>

#include "desktop/PanelPlacement.h"

namespace desktop {

FloatingWindowController::FloatingWindowController(std::unique_ptr<PanelWindow> window, QPoint pointer,
                                                   std::optional<QRect> visibleFrame)
    : window_(std::move(window)) {
    // The height is read once, now that the content is set and sized; as the
    // view grows later (an error line, the transcript, more prompt lines),
    // the window moves up rather than off the bottom of the same screen.
    window_->moveTo(panel_placement::topLeft(pointer, visibleFrame, window_->panelHeight()));
    if (visibleFrame) window_->keepInside(*visibleFrame);

    if (auto* app = QCoreApplication::instance()) app->installEventFilter(this);

    // Neither the filter nor the window's callback keeps the controller
    // alive: the filter goes with it, and the callback checks it still exists.
    QPointer<FloatingWindowController> self(this);
    window_->setOnDeactivate([self] {
        if (self) self->close();
    });
}

FloatingWindowController::~FloatingWindowController() {
    if (auto* app = QCoreApplication::instance()) app->removeEventFilter(this);
    // The window may report its own hiding while it is destroyed.
    if (window_) window_->setOnDeactivate({});
}

std::unique_ptr<PanelWindow> FloatingWindowController::takeWindow() {
    if (window_) window_->setOnDeactivate({});
    return std::move(window_);
}

void FloatingWindowController::showWindow() {
    shown_ = true;
    window_->showPanel();
}

void FloatingWindowController::close() {
    // Reported once per showing, also when something else hid the window.
    const bool wasShown = shown_;
    shown_ = false;
    if (window_) window_->closePanel();
    if (wasShown && onClosed_) onClosed_();
}

bool FloatingWindowController::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && window_ &&
        window_->isPanelVisible()) {
        close();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace desktop
