#include "desktop/FloatingPanel.h"

#include <utility>
#include <vector>

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QGuiApplication>
#include <QInputMethod>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMetaObject>
#include <QMouseEvent>
#include <QPainterPath>
#include <QPointer>
#include <QRegion>
#include <QVBoxLayout>
#include <QWindow>

#include "GlobalShortcuts/CarbonGlobalShortcuts.h"
#include "desktop/HeldKeys.h"
#include "desktop/PanelPlacement.h"
#include "platform/Logger.h"
#include "platform/PanelWindowSystem.h"
#include "platform/x11/X11FocusEvents.h"
#include "platform/x11/X11KeyEvents.h"
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

// The keys the panel's grab brings pass the toolkit's input method before
// any event filter sees them, and it composes: with a dead key or the
// compose key pending, the shortcut's Space would come out as an accent and
// the shortcut would never act. Shortcuts are taken here, before it.
class ShortcutKeyFilter final : public QAbstractNativeEventFilter {
public:
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
        if (eventType != "xcb_generic_event_t") return false;
        const auto key = platform::x11::keyEvent(message);
        return key && FloatingPanel::takeShortcutKey(key->press, key->keyCode, key->state, key->time);
    }
};

// Tries to take the grabs this often while something else holds them, and
// this many times before the panel goes on without them.
constexpr int kGrabRetryMilliseconds = 50;
constexpr int kGrabAttempts = 40;

const platform::Logger& logger() {
    static const platform::Logger log("quillary", "panel");
    return log;
}

// Once per application (a test makes one after another).
template <typename Filter>
void installNativeFilter() {
    static Filter filter;
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

    installNativeFilter<GrabFocusFilter>();
    grabRetry_.setSingleShot(true);
    grabRetry_.setInterval(kGrabRetryMilliseconds);
    QObject::connect(&grabRetry_, &QTimer::timeout, this, [this] { tryGrab(); });
    if (qApp) qApp->installEventFilter(this);
    // The native window now: making it is most of what showing a panel
    // costs. Its states and its mask are set at each showing.
    if (windowSystem_) winId();
}

FloatingPanel::~FloatingPanel() {
    onDeactivate_ = nullptr;
    if (qApp) qApp->removeEventFilter(this);
    releaseInput();
    setFullscreenOwner(0);
}

std::shared_ptr<platform::PanelWindowSystem> FloatingPanel::defaultWindowSystem() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->display()) return nullptr;
    return std::make_shared<platform::X11PanelWindowSystem>(x11->display(),
                                                            [] { return CarbonGlobalShortcuts::backend(); });
}

void FloatingPanel::yieldToAnotherWindow() {
    if (!qApp) return;
    std::vector<QPointer<FloatingPanel>> panels;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* panel = dynamic_cast<FloatingPanel*>(top)) panels.emplace_back(panel);
    for (const auto& panel : panels) {
        // A panel that has the keyboard closes now, as the other window's
        // activation would make it a moment later: gone after that
        // activation, it would leave the pointer over whatever window lay
        // under it, and a window manager whose focus follows the pointer
        // would give that window the keyboard instead.
        if (panel && panel->wasActive_ && panel->isVisible()) panel->deactivated();
        if (panel) panel->releaseInput();
    }
}

void FloatingPanel::activateWindowOf(QWidget* widget) {
    QWidget* window = widget ? widget->window() : nullptr;
    if (!window) return;
    if (const auto* panel = dynamic_cast<FloatingPanel*>(window); panel && panel->fullscreenOwner_) return;
    window->activateWindow();
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

void FloatingPanel::setContent(std::unique_ptr<QWidget> content) {
    if (!content) return;
    auto* box = static_cast<QVBoxLayout*>(layout());
    box->removeWidget(content_);
    delete content_;
    content_ = content.release();
    box->addWidget(content_);
    box->activate();
    updateMask();
}

void FloatingPanel::recycle() {
    releaseInput();
    setFullscreenOwner(0);
    auto placeholder = std::make_unique<QWidget>();
    placeholder->setFixedSize(kInitialWidth, kInitialHeight);
    setContent(std::move(placeholder));
    onDeactivate_ = nullptr;
    onReadyForKeys_ = nullptr;
    keptInside_.reset();
    wasActive_ = false;
    readyTold_ = false;
    composer_.reset();
    if (windowSystem_) windowSystem_->refresh();
}

int FloatingPanel::panelHeight() const { return height(); }

void FloatingPanel::moveTo(QPoint topLeft) { move(topLeft); }

void FloatingPanel::setFullscreenOwner(std::uint64_t window) {
    // Only on a real window system: a foreign window needs one.
    std::unique_ptr<QWindow> owner(window != 0 && windowSystem_ ? QWindow::fromWinId(static_cast<WId>(window))
                                                                : nullptr);
    if (QWindow* handle = windowHandle()) handle->setTransientParent(owner.get());
    fullscreenOwner_ = std::move(owner);
}

void FloatingPanel::showPanel() {
    wasActive_ = false;
    readyTold_ = false;
    composer_.reset();
    // Each showing maps the window as a new one: a window manager may have
    // dropped its states when it was withdrawn, and a compositor may have
    // started or stopped since. The shape goes on before the map: a window
    // mapped whole and cut after leaves its black corners on programs below
    // that do not draw what it uncovers again.
    if (windowSystem_) {
        windowSystem_->prepare(static_cast<std::uint64_t>(winId()));
        useMask_ = !windowSystem_->compositorRunning();
        updateMask();
    }
    show();
    raise();
    // Over a fullscreen window the window manager gives the panel the
    // keyboard as it maps.
    if (fullscreenOwner_) return;
    if (windowSystem_)
        windowSystem_->activate(static_cast<std::uint64_t>(winId()));
    else
        activateWindow();
}

void FloatingPanel::closePanel() {
    hiding_ = true;
    // The keyboard first: a key typed right after the window is gone (the
    // shortcut again, say) would still come to it. The rest after hiding:
    // letting go of the grabs waits for the server, which has then unmapped
    // the window too, before anything else of ours is asked of it (the
    // activation of another window, say).
    if (grabbed_ && windowSystem_) windowSystem_->releaseKeyboard();
    hide();
    releaseInput();
    hiding_ = false;
}

void FloatingPanel::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::ActivationChange) return;
    if (isActiveWindow()) {
        if (wasActive_) return;
        wasActive_ = true;
        // The keyboard is held for the panel since the hot key, until the
        // prompt has the focus (a moment after the activation): then the
        // keys typed meanwhile come to it. Until that hold is let go, the
        // grab is tried again.
        takeInput();
        if (promptHasFocus()) becameReady();
        return;
    }
    // Between the end of a popup's grab (or a system move's) and our own
    // grab again, a focus-follows-pointer window manager may move the focus
    // to the window under the pointer: no real loss. Under the grab, a loss
    // is a program's activation of another window.
    if (regrabbing_) return;
    if (wasActive_ && isVisible() && !hiding_ && !ownPopupActive()) deactivated();
}

bool FloatingPanel::ownWidget(QObject* object) const {
    const auto* widget = qobject_cast<const QWidget*>(object);
    return widget && (widget == this || isAncestorOf(widget));
}

bool FloatingPanel::promptHasFocus() const {
    const QWidget* focus = QApplication::focusWidget();
    return focus && focus != this && isAncestorOf(focus);
}

void FloatingPanel::becameReady() {
    if (readyTold_) return;
    readyTold_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!isVisible()) return;
            if (onReadyForKeys_) onReadyForKeys_();
            // The hold is let go now: the grab need not wait for its next try.
            if (grabWanted_ && !grabbed_ && isVisible()) tryGrab();
        },
        Qt::QueuedConnection);
}

void FloatingPanel::typeHeldKeys(std::span<const platform::HeldKeyEvent> keys) {
    replaying_ = true;
    held_keys::replay(this, keys, composer_, [this](const platform::HeldKeyEvent& key) {
        return windowSystem_ && windowSystem_->isShortcut(key.keyCode, key.state);
    });
    replaying_ = false;
}

bool FloatingPanel::takeShortcutKey(bool press, std::uint32_t keyCode, std::uint32_t state, std::uint32_t time) {
    if (!qApp) return false;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* panel = dynamic_cast<FloatingPanel*>(top); panel && panel->grabbed_ && panel->isVisible())
            return panel->grabbedShortcutKey(press, keyCode, state, time);
    return false;
}

bool FloatingPanel::grabbedShortcutKey(bool press, std::uint32_t keyCode, std::uint32_t state, std::uint32_t time) {
    bool repeat = false;
    if (press) {
        repeat = !keysDown_.insert(keyCode).second || (keyCode == lastReleasedKey_ && time == lastReleaseTime_);
    } else {
        keysDown_.erase(keyCode);
        lastReleasedKey_ = keyCode;
        lastReleaseTime_ = time;
    }
    if (!windowSystem_ || !windowSystem_->shortcutKey(press, repeat, keyCode, state, time)) return false;
    dropComposing();
    return true;
}

void FloatingPanel::dropComposing() {
    composer_.reset();
    if (QInputMethod* input = QGuiApplication::inputMethod()) input->reset();
}

bool FloatingPanel::composeTypedKey(QObject* target, QKeyEvent* event) {
    std::string composed;
    switch (composer_.feed(event->nativeVirtualKey(), composed)) {
    case held_keys::Composer::Outcome::plain: return false;
    case held_keys::Composer::Outcome::swallowed: return true;
    case held_keys::Composer::Outcome::composed: break;
    }
    QKeyEvent replaced(event->type(), event->key(), event->modifiers(), event->nativeScanCode(),
                             event->nativeVirtualKey(), event->nativeModifiers(),
                             QString::fromUtf8(composed.data(), static_cast<qsizetype>(composed.size())),
                             event->isAutoRepeat());
    replaying_ = true;
    QApplication::sendEvent(target, &replaced);
    replaying_ = false;
    return true;
}

void FloatingPanel::hideEvent(QHideEvent* event) {
    releaseInput();
    QWidget::hideEvent(event);
}

bool FloatingPanel::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::FocusIn && wasActive_ && !readyTold_ && watched != this && ownWidget(watched)) becameReady();
    const bool key = type == QEvent::KeyPress || type == QEvent::KeyRelease;
    if (key && (grabbed_ || replaying_) && windowSystem_ && isVisible()) {
        // Our grab (or the hold, for kept keys) holds the keyboard, so no
        // hot-key grab can fire: the shortcut comes as an ordinary key, and
        // does what it does before anything composes it.
        const auto* typed = static_cast<QKeyEvent*>(event);
        if (windowSystem_->shortcutKey(type == QEvent::KeyPress, typed->isAutoRepeat(), typed->nativeScanCode(),
                                       typed->nativeModifiers(), static_cast<std::uint32_t>(typed->timestamp()))) {
            if (type == QEvent::KeyPress) dropComposing();
            return true;
        }
    }
    if (type == QEvent::KeyPress && !replaying_ && composer_.composing() && ownWidget(watched) &&
        composeTypedKey(watched, static_cast<QKeyEvent*>(event)))
        return true;
    if (watched == content_ && (type == QEvent::Resize || type == QEvent::Move)) {
        updateMask();
    } else if (type == QEvent::Hide && grabWanted_ && isVisible() && watched != this) {
        // A popup of ours (the model picker, a context menu) ends every grab
        // of the program when it closes; the panel takes its own again.
        const auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && widget->isWindow() && widget->windowType() == Qt::Popup) retakeInput();
    }
    return QWidget::eventFilter(watched, event);
}

void FloatingPanel::takeInput() {
    if (!windowSystem_) return;
    grabWanted_ = true;
    grabAttemptsLeft_ = kGrabAttempts;
    tryGrab();
}

void FloatingPanel::retakeInput() {
    grabbed_ = false;
    regrabbing_ = true;
    grabAttemptsLeft_ = kGrabAttempts;
    tryGrab();
}

void FloatingPanel::tryGrab() {
    grabRetry_.stop();
    if (!grabWanted_ || !isVisible() || !windowSystem_) return;
    switch (windowSystem_->grabInput(static_cast<std::uint64_t>(winId()))) {
    case platform::InputGrab::taken:
        installNativeFilter<ShortcutKeyFilter>();
        grabbed_ = true;
        if (regrabbing_ && !isActiveWindow()) activateWindowOf(this);
        regrabbing_ = false;
        return;
    case platform::InputGrab::buttonDown:
        grabRetry_.start();  // a move may run as long as the button is held
        return;
    case platform::InputGrab::refused:
        if (--grabAttemptsLeft_ > 0) {
            grabRetry_.start();
            return;
        }
        logger().info("Another program holds the keyboard or the pointer: the panel goes on without its grab, and "
                      "closes when it loses the keyboard");
        break;
    case platform::InputGrab::unsupported:
        break;
    }
    grabWanted_ = false;
    regrabbing_ = false;
}

void FloatingPanel::releaseInput() {
    const bool held = grabbed_ || grabWanted_;
    grabWanted_ = false;
    grabbed_ = false;
    regrabbing_ = false;
    grabRetry_.stop();
    // Keys let go of from now on are let go of elsewhere.
    keysDown_.clear();
    lastReleasedKey_ = 0;
    if (held && windowSystem_ && qApp) windowSystem_->releaseInput();
}

void FloatingPanel::closeEvent(QCloseEvent* event) {
    // A close asked for from outside (the window manager, a view calling
    // close()) goes through the owner, like any other way of leaving.
    event->ignore();
    deactivated();
}

void FloatingPanel::mousePressEvent(QMouseEvent* event) {
    // Under the pointer grab a press outside every window of ours comes
    // here: it closes the panel and goes no further, as in a launcher.
    if (grabbed_ && !rect().contains(event->position().toPoint())) {
        event->accept();
        deactivated();
        return;
    }
    // Presses that no control took land here: dragging the background moves
    // the panel. The move takes the pointer from our grab; it is taken again
    // once the button is up.
    if (event->button() == Qt::LeftButton && windowHandle() && windowHandle()->startSystemMove()) {
        event->accept();
        if (grabWanted_) retakeInput();
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
    updateMask();
}

void FloatingPanel::updateMask() {
    if (!useMask_) {
        // One set while no compositor ran would now cut the corners off.
        if (!mask().isEmpty()) clearMask();
        return;
    }
    // The content's shape, not the window's: a window manager may make the
    // window larger than its fixed size, and the strip below would be black.
    QPainterPath path;
    path.addRoundedRect(QRectF(content_->geometry()), kCornerRadius, kCornerRadius);
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
