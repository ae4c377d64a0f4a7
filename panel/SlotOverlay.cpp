#include "panel/SlotOverlay.h"

#include <QEvent>
#include <QWidget>

namespace panel {

SlotOverlay::SlotOverlay(QWidget& drawing, QWidget& slot) : QObject(&slot), drawing_(&drawing), slot_(slot) {
    if (drawing.parentWidget() != slot.parentWidget()) drawing.setParent(slot.parentWidget());
    drawing.setAttribute(Qt::WA_TransparentForMouseEvents);
    drawing.hide();
    slot.installEventFilter(this);
}

void SlotOverlay::setShown(bool shown) {
    if (!drawing_) return;
    if (shown) {
        place();
        drawing_->raise();
    }
    drawing_->setVisible(shown);
}

void SlotOverlay::place() {
    if (!drawing_) return;
    const QSize size = drawing_->size();
    const QPoint centre = slot_.geometry().center();
    drawing_->move(centre.x() - (size.width() - 1) / 2, centre.y() - (size.height() - 1) / 2);
}

bool SlotOverlay::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &slot_ && (event->type() == QEvent::Move || event->type() == QEvent::Resize)) place();
    return QObject::eventFilter(watched, event);
}

}  // namespace panel
