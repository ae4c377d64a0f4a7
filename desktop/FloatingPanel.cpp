#include "desktop/FloatingPanel.h"

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QGuiApplication>
#include <QCloseEvent>
#include <QMouseEvent>
#include <QPainterPath>
#include <QPointer>
#include <QRegion>
#include <QVBoxLayout>
#include <QWindow>

#include "GlobalShortcuts/CarbonGlobalShortcuts.h"
#include "desktop/PanelPlacement.h"
#include "platform/PanelWindowSystem.h"
#include "platform/x11/X11FocusEvents.h"
#include "platform/x11/X11PanelWindowSystem.h"

namespace desktop {

namespace {

// A hot key held down, or a popup menu open, grabs the keyboard: the focused
// window hears that it lost the focus and gets it back when the grab ends,
// though the focus never moved. Qt takes a loss that lasts longer than a
// moment for a real one, which would close the panel under a hot key held
// a little long; so a panel never hears of such changes.
class GrabFocusFilter final : public QAbstractNativeEventFilter {
public:
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
        if (eventType != "xcb_generic_event_t") return false;
        const std::uint64_t window = platform::x11::grabFocusChangeWindow(message);
        return window != 0 && FloatingPanel::isPanelWindow(window);
    }
};

void installGrabFocusFilter() {
    static GrabFocusFilter filter;
    static QPointer<QCoreApplication> installedOn;
    if (!qApp || installedOn == qApp) return;
    qApp->installNativeEventFilter(&filter);
    installedOn = qApp;
}

}  // namespace

FloatingPanel::FloatingPanel(std::unique_ptr<QWidget> content,
                             std::shared_ptr<platform::PanelWindowSystem> windowSystem)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      windowSystem_(std::move(windowSystem)) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_DeleteOnClose, false);
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(QStringLiteral("Quillary"));

    if (!content) {
        content = std::make_unique<QWidget>();
        content->setFixedSize(kInitialWidth, kInitialHeight);
    }
    content_ = content.release();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    // The window takes the view's own size, now and whenever it changes.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(content_);
    resize(kInitialWidth, kInitialHeight);
    layout->activate();

    installGrabFocusFilter();
    useMask_ = windowSystem_ && !windowSystem_->compositorRunning();
    if (windowSystem_) windowSystem_->prepare(static_cast<std::uint64_t>(winId()));
}

FloatingPanel::~FloatingPanel() { onDeactivate_ = nullptr; }

std::shared_ptr<platform::PanelWindowSystem> FloatingPanel::defaultWindowSystem() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->display()) return nullptr;
    return std::make_shared<platform::X11PanelWindowSystem>(
        x11->display(), [] { return CarbonGlobalShortcuts::backend()->lastPressTime(); });
}

bool FloatingPanel::isPanelWindow(std::uint64_t window) {
    if (!qApp || window == 0) return false;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->internalWinId() != static_cast<WId>(window)) continue;
        for (QWidget* w = top; w; w = w->parentWidget())
            if (dynamic_cast<FloatingPanel*>(w)) return true;
    }
    return false;
}

int FloatingPanel::panelHeight() const { return height(); }

void FloatingPanel::moveTo(QPoint topLeft) { move(topLeft); }

void FloatingPanel::showPanel() {
    wasActive_ = false;
    show();
    raise();
    if (windowSystem_)
        windowSystem_->activate(static_cast<std::uint64_t>(winId()));
    else
        activateWindow();
}

void FloatingPanel::closePanel() {
    hiding_ = true;
    hide();
    hiding_ = false;
}

void FloatingPanel::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::ActivationChange) return;
    if (isActiveWindow()) {
        wasActive_ = true;
        return;
    }
    if (wasActive_ && isVisible() && !hiding_ && !ownPopupActive()) deactivated();
}

void FloatingPanel::closeEvent(QCloseEvent* event) {
    // A close asked for from outside (the window manager, a view calling
    // close()) goes through the owner, like any other way of leaving.
    event->ignore();
    deactivated();
}

void FloatingPanel::mousePressEvent(QMouseEvent* event) {
    // Presses that no control took land here: dragging the background moves
    // the panel.
    if (event->button() == Qt::LeftButton && windowHandle() && windowHandle()->startSystemMove()) {
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void FloatingPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (keptInside_) {
        const QPoint kept = panel_placement::topLeftAfterResize(QRect(pos(), size()), *keptInside_);
        if (kept != pos()) move(kept);
    }
    if (!useMask_) return;
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), kCornerRadius, kCornerRadius);
    setMask(QRegion(path.toFillPolygon().toPolygon()));
}

bool FloatingPanel::ownPopupActive() const {
    for (QWidget* w : {QApplication::activePopupWidget(), QApplication::activeWindow()}) {
        for (QWidget* p = w; p; p = p->parentWidget())
            if (p == this) return w != this;
    }
    return false;
}

void FloatingPanel::deactivated() {
    wasActive_ = false;
    if (onDeactivate_) onDeactivate_();
}

}  // namespace desktop
