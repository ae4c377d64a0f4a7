#include "panel/ModelPickerPopup.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>

#include "panel/ModelPickerRow.h"
#include "ui/Palette.h"
#include "ui/RoundedSurface.h"

namespace panel {

ModelPickerPopup::ModelPickerPopup(QWidget* parent)
    : QWidget(parent, Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint),
      scroll_(new QScrollArea(this)),
      list_(new QWidget),
      column_(new QVBoxLayout(list_)) {
    setAttribute(Qt::WA_TranslucentBackground);
    auto* frame = new QVBoxLayout(this);
    frame->setContentsMargins(0, 0, 0, 0);
    frame->addWidget(scroll_);
    // The rows scroll under a slim bar on the popup's own grey; the keys
    // stay with the panel (Escape closes all of it).
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setFocusPolicy(Qt::NoFocus);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scroll_->setWidgetResizable(true);
    scroll_->setStyleSheet(QStringLiteral(
        "QScrollArea, QScrollArea > QWidget > QWidget { background: transparent; }"
        "QScrollBar:vertical { width: 6px; margin: 12px 2px 12px 0; background: transparent; }"
        "QScrollBar::handle:vertical { background: rgba(255, 255, 255, 64); border-radius: 2px; min-height: 24px; }"
        "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
        "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: transparent; }"));
    scroll_->verticalScrollBar()->setFocusPolicy(Qt::NoFocus);
    list_->setAttribute(Qt::WA_TranslucentBackground);
    scroll_->setWidget(list_);
    column_->setContentsMargins(kPadding, kPadding, kPadding, kPadding);
    column_->setSpacing(kSpacing);
    column_->setAlignment(Qt::AlignTop);
    setFixedWidth(kWidth);
}

void ModelPickerPopup::setRows(const std::vector<ModelPickerList::Row>& rows) {
    // Rows are only replaced while the popup is closed, never inside a row's
    // own click.
    for (ModelPickerRow* row : rows_) {
        column_->removeWidget(row);
        row->deleteLater();
    }
    rows_.clear();
    for (const ModelPickerList::Row& entry : rows) {
        auto* row = new ModelPickerRow(entry.model, entry.isSelected, list_);
        QObject::connect(row, &QAbstractButton::clicked, this, [this, model = entry.model] {
            if (onPick_) onPick_(model);
        });
        column_->addWidget(row);
        rows_.push_back(row);
    }
    column_->activate();
}

QRect ModelPickerPopup::placement(const QRect& button, const QSize& wanted, const QRect& area) {
    const int x = std::clamp(button.left(), area.left(), std::max(area.left(), area.right() - wanted.width() + 1));
    const int belowTop = button.bottom() + 1 + kGap;
    const int roomBelow = area.bottom() + 1 - belowTop;
    const int roomAbove = button.top() - kGap - area.top();
    if (wanted.height() <= roomBelow) return {QPoint(x, belowTop), wanted};
    if (wanted.height() <= roomAbove) return {QPoint(x, button.top() - kGap - wanted.height()), wanted};
    // Neither side holds it whole: the roomier one, shortened to fit.
    if (roomBelow >= roomAbove) return {x, belowTop, wanted.width(), std::max(roomBelow, 2 * kPadding)};
    return {x, area.top(), wanted.width(), std::max(roomAbove, 2 * kPadding)};
}

void ModelPickerPopup::open(const std::vector<ModelPickerList::Row>& rows, QWidget& anchor) {
    setRows(rows);
    anchor_ = &anchor;
    // With no row at all the popup is its padding alone.
    const QSize wanted(kWidth, std::max(list_->sizeHint().height(), 2 * kPadding));
    const QRect button(anchor.mapToGlobal(QPoint(0, 0)), anchor.size());
    QRect at(button.bottomLeft() + QPoint(0, 1 + kGap), wanted);
    if (const QScreen* screen = anchor.screen()) at = placement(button, wanted, screen->availableGeometry());
    setFixedHeight(at.height());
    move(at.topLeft());
    scroll_->verticalScrollBar()->setValue(0);
    quiet_ = false;
    show();
}

void ModelPickerPopup::dismissQuietly() {
    quiet_ = true;
    hide();
    quiet_ = false;
}

void ModelPickerPopup::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    ui::RoundedSurface::paint(painter, QRectF(rect()), kCornerRadius, ui::Palette::color(ui::Colour::Surface12));
}

// A popup gets the press that closes it. One on the button that opened it
// must not reach the button too, or the button would open it again.
void ModelPickerPopup::mousePressEvent(QMouseEvent* event) {
    // The popup's grab took the panel's: a press outside both is a click
    // into another application, which closes the panel too, not only the
    // list. It goes no further either way.
    QPointer<QWidget> panel;
    if (!rect().contains(event->position().toPoint()) && anchor_) {
        const QPoint at = event->globalPosition().toPoint();
        const QRect button(anchor_->mapToGlobal(QPoint(0, 0)), anchor_->size());
        if (button.contains(at)) setAttribute(Qt::WA_NoMouseReplay);
        QWidget* window = anchor_->window();
        if (window && !window->frameGeometry().contains(at)) panel = window;
    }
    QWidget::mousePressEvent(event);
    if (panel && panel->isVisible()) panel->close();
}

void ModelPickerPopup::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (!quiet_ && onDismiss_) onDismiss_();
}

}  // namespace panel
