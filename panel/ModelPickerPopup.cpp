#include "panel/ModelPickerPopup.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

#include "panel/ModelPickerRow.h"
#include "ui/Palette.h"
#include "ui/RoundedSurface.h"

namespace panel {

ModelPickerPopup::ModelPickerPopup(QWidget* parent)
    : QWidget(parent, Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint),
      column_(new QVBoxLayout(this)) {
    setAttribute(Qt::WA_TranslucentBackground);
    column_->setContentsMargins(kPadding, kPadding, kPadding, kPadding);
    column_->setSpacing(kSpacing);
    column_->setSizeConstraint(QLayout::SetFixedSize);
    column_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
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
        auto* row = new ModelPickerRow(entry.model, entry.isSelected, this);
        row->setFixedWidth(kWidth - 2 * kPadding);
        QObject::connect(row, &QAbstractButton::clicked, this, [this, model = entry.model] {
            if (onPick_) onPick_(model);
        });
        column_->addWidget(row);
        rows_.push_back(row);
    }
    // With no row at all the popup is its padding alone.
    setMinimumHeight(2 * kPadding);
    column_->activate();
    adjustSize();
}

void ModelPickerPopup::open(const std::vector<ModelPickerList::Row>& rows, QWidget& anchor) {
    setRows(rows);
    anchor_ = &anchor;
    QPoint at = anchor.mapToGlobal(QPoint(0, anchor.height() + kGap));
    if (const QScreen* screen = anchor.screen()) {
        const QRect area = screen->availableGeometry();
        at.setX(std::clamp(at.x(), area.left(), std::max(area.left(), area.right() - width() + 1)));
        // No room below: open above the button instead.
        if (at.y() + height() > area.bottom() + 1) at.setY(anchor.mapToGlobal(QPoint(0, 0)).y() - kGap - height());
    }
    move(at);
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
    if (!rect().contains(event->position().toPoint()) && anchor_) {
        const QRect button(anchor_->mapToGlobal(QPoint(0, 0)), anchor_->size());
        if (button.contains(event->globalPosition().toPoint())) setAttribute(Qt::WA_NoMouseReplay);
    }
    QWidget::mousePressEvent(event);
}

void ModelPickerPopup::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (!quiet_ && onDismiss_) onDismiss_();
}

}  // namespace panel
