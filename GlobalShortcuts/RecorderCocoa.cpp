#include "GlobalShortcuts/RecorderCocoa.h"

#include <QFocusEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTimer>

#include "GlobalShortcuts/AlertPresenter.h"
#include "GlobalShortcuts/ApplicationMenu.h"

namespace GlobalShortcuts {

namespace {

RecorderSystem recorderSystem() {
    RecorderSystem system;
    system.mainMenuItemUsing = &takenByApplicationMenu;
    return system;
}

}  // namespace

RecorderCocoa::RecorderCocoa(Name name, OnChange onChange, QWidget* parent)
    : QWidget(parent), controller_(*this, std::move(name), std::move(onChange), recorderSystem()) {
    // Not a focus target until it has been shown (see preventBecomingKey).
    setFocusPolicy(Qt::ClickFocus);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    recorderStateChanged();
}

RecorderCocoa::~RecorderCocoa() {
    // A field destroyed while recording must not leave shortcuts paused.
    controller_.endRecording();
}

QString RecorderCocoa::text() const { return QString::fromStdString(controller_.text()); }

QString RecorderCocoa::placeholderText() const { return QString::fromStdString(controller_.placeholder()); }

QRect RecorderCocoa::clearButtonRect() const {
    const int side = qMin(height() - 4, style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, this));
    return {width() - side - 4, (height() - side) / 2, side, side};
}

QSize RecorderCocoa::sizeHint() const {
    QStyleOptionFrame option;
    option.initFrom(this);
    option.lineWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, this);
    const QSize contents(static_cast<int>(RecorderController::minimumWidth), fontMetrics().height() + 2);
    const QSize framed = style()->sizeFromContents(QStyle::CT_LineEdit, &option, contents, this);
    return {static_cast<int>(RecorderController::minimumWidth), framed.height()};
}

QSize RecorderCocoa::minimumSizeHint() const { return sizeHint(); }

bool RecorderCocoa::event(QEvent* event) {
    switch (event->type()) {
        case QEvent::WindowActivate:
            preventBecomingKey();
            break;
        case QEvent::WindowDeactivate:
            // Coming back to the window must not resume recording unasked.
            controller_.endRecording();
            if (window()->focusWidget() == this)
                clearFocus();
            break;
        case QEvent::ShortcutOverride:
            // Qt offers a key to the window's shortcuts and mnemonics before
            // anything sees it as a key press; while recording, every
            // combination is for the recorder's rules.
            if (isRecording()) {
                event->accept();
                return true;
            }
            break;
        case QEvent::ParentChange:
            controller_.endRecording();
            preventBecomingKey();
            break;
        default:
            break;
    }
    return QWidget::event(event);
}

void RecorderCocoa::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QStyleOptionFrame frame;
    frame.initFrom(this);
    frame.rect = rect();
    frame.lineWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &frame, this);
    frame.midLineWidth = 0;
    frame.state |= QStyle::State_Sunken;
    if (isRecording())
        frame.state |= QStyle::State_HasFocus;
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &frame, &painter, this);

    // Keep the text centred on the field, clear of the button on both sides.
    const QRect button = clearButtonRect();
    const int inset = showsClearButton() ? width() - button.left() : frame.lineWidth + 2;
    const QRect textArea = rect().adjusted(inset, 0, -inset, 0);
    const bool empty = controller_.text().empty();
    painter.setPen(palette().color(empty ? QPalette::PlaceholderText : QPalette::Text));
    const QString shown = empty ? placeholderText() : text();
    painter.drawText(textArea, Qt::AlignCenter, fontMetrics().elidedText(shown, Qt::ElideRight, textArea.width()));

    if (showsClearButton()) {
        const QIcon icon = style()->standardIcon(QStyle::SP_LineEditClearButton, nullptr, this);
        icon.paint(&painter, button);
    }
}

void RecorderCocoa::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    controller_.beginRecording();
}

void RecorderCocoa::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    controller_.endRecording();
}

void RecorderCocoa::mousePressEvent(QMouseEvent* event) {
    // The press has given the field focus already (and so started recording).
    if (event->button() == Qt::LeftButton && showsClearButton() && clearButtonRect().contains(event->pos()))
        controller_.clear();
    event->accept();
}

void RecorderCocoa::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    preventBecomingKey();
}

void RecorderCocoa::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    controller_.endRecording();
}

void RecorderCocoa::recorderStateChanged() {
    setAccessibleName(controller_.text().empty() ? placeholderText() : text());
    update();
}

void RecorderCocoa::blur() {
    if (hasFocus() || window()->focusWidget() == this)
        clearFocus();
}

void RecorderCocoa::focus() {
    // After an alert the window may not have the keyboard back: ask for it.
    // Focus set meanwhile takes effect (and recording starts) once it has.
    if (QWidget* owner = window(); owner->isVisible() && !owner->isActiveWindow())
        owner->activateWindow();
    setFocus(Qt::OtherFocusReason);
}

void RecorderCocoa::focusNext() {
    focusNextChild();
    if (hasFocus())
        clearFocus();
}

bool RecorderCocoa::isNear(double screenX, double screenY, double margin) const {
    const QPointF local = mapFromGlobal(QPointF(screenX, screenY));
    return QRectF(rect()).adjusted(-margin, -margin, margin, margin).contains(local);
}

int RecorderCocoa::runAlert(const Alert& alert) {
    QWidget* owner = window();
    const auto presenter = AlertPresenter::current();
    return presenter->runModal(alert, owner && owner->isVisible() ? owner : nullptr);
}

void RecorderCocoa::beep() { AlertPresenter::current()->beep(); }

void RecorderCocoa::preventBecomingKey() {
    setFocusPolicy(Qt::ClickFocus);
    QTimer::singleShot(0, this, [this] { setFocusPolicy(Qt::StrongFocus); });
}

}  // namespace GlobalShortcuts
