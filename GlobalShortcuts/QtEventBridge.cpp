#include "GlobalShortcuts/QtEventBridge.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QWindow>

#include <algorithm>
#include <string>
#include <tuple>
#include <utility>

#include "GlobalShortcuts/ApplicationEvents.h"
#include "GlobalShortcuts/GlobalShortcuts.h"
#include "GlobalShortcuts/ModifierFlags.h"
#include "GlobalShortcuts/Shortcut.h"
#include "platform/KeyPositions.h"
#include "platform/NotificationCenter.h"

namespace GlobalShortcuts {

namespace {

constexpr quint32 kX11LockMask = 1 << 1;

std::int64_t flagsFromQt(Qt::KeyboardModifiers modifiers, quint32 nativeModifiers) {
    std::int64_t flags = 0;
    if (modifiers & Qt::ShiftModifier)
        flags |= ModifierFlags::shift;
    if (modifiers & Qt::ControlModifier)
        flags |= ModifierFlags::control;
    if (modifiers & Qt::AltModifier)
        flags |= ModifierFlags::option;
    if (modifiers & Qt::MetaModifier)
        flags |= ModifierFlags::command;
    if (modifiers & Qt::KeypadModifier)
        flags |= ModifierFlags::numericPad;
    if (nativeModifiers & kX11LockMask)
        flags |= ModifierFlags::capsLock;
    return flags;
}

Qt::KeyboardModifiers qtFromFlags(std::int64_t flags) {
    Qt::KeyboardModifiers modifiers;
    if (flags & ModifierFlags::shift)
        modifiers |= Qt::ShiftModifier;
    if (flags & ModifierFlags::control)
        modifiers |= Qt::ControlModifier;
    if (flags & ModifierFlags::option)
        modifiers |= Qt::AltModifier;
    if (flags & ModifierFlags::command)
        modifiers |= Qt::MetaModifier;
    if (flags & ModifierFlags::numericPad)
        modifiers |= Qt::KeypadModifier;
    return modifiers;
}

bool isModifierKey(int qtKey, long long keyCode) {
    switch (qtKey) {
        case Qt::Key_Shift:
        case Qt::Key_Control:
        case Qt::Key_Meta:
        case Qt::Key_Alt:
        case Qt::Key_AltGr:
        case Qt::Key_CapsLock:
        case Qt::Key_Super_L:
        case Qt::Key_Super_R:
        case Qt::Key_Hyper_L:
        case Qt::Key_Hyper_R:
            return true;
        default:
            // The positions of the modifier keys: right Command (54) to Fn (63).
            return keyCode >= 54 && keyCode <= 63;
    }
}

// What Qt calls the key of another position, and what it types there on the
// current layout, so a widget sees the replacement key and not the original.
std::pair<int, QString> qtKeyAndText(const Event& event) {
    const Shortcut shortcut(event.keyCode, ModifierFlags::toCarbon(event.modifierFlags));
    const auto sequence = shortcut.keySequence();
    const int key = sequence && !sequence->isEmpty() ? (*sequence)[0].key() : Qt::Key_unknown;
    QString text;
    if (const auto equivalent = shortcut.keyEquivalent())
        text = QString::fromStdString(*equivalent);
    if (event.modifierFlags & ModifierFlags::shift)
        text = text.toUpper();
    return {key, text};
}

}  // namespace

void QtEventBridge::ensureInstalled() {
    static QPointer<QtEventBridge> bridge;
    auto* application = QCoreApplication::instance();
    if (bridge || !application)
        return;
    bridge = new QtEventBridge(application);  // goes with the application
    application->installEventFilter(bridge);
}

std::unique_ptr<QKeyEvent> QtEventBridge::toQtEvent(const QKeyEvent& original, const Event& replacement) {
    const auto scanCode = platform::KeyPositions::x11FromCarbon(replacement.keyCode);
    const auto type = replacement.type == Event::keyUp     ? QEvent::KeyRelease
                      : replacement.type == Event::keyDown ? QEvent::KeyPress
                                                           : original.type();
    int key = original.key();
    QString text = original.text();
    const auto before = toEvent(original);
    if (!before || before->keyCode != replacement.keyCode)
        std::tie(key, text) = qtKeyAndText(replacement);
    return std::make_unique<QKeyEvent>(type, key, qtFromFlags(replacement.modifierFlags),
                                       scanCode ? static_cast<quint32>(*scanCode) : original.nativeScanCode(),
                                       original.nativeVirtualKey(), original.nativeModifiers(), text,
                                       replacement.isARepeat);
}

std::optional<Event> QtEventBridge::toEvent(const QKeyEvent& event) {
    const auto keyCode = platform::KeyPositions::carbonFromX11(static_cast<int>(event.nativeScanCode()));
    if (!keyCode)
        return std::nullopt;
    // X11 reports a modifier key like any other; watchers of key presses
    // (a recorder) must not take Control alone for a shortcut.
    int type = event.type() == QEvent::KeyPress ? Event::keyDown : Event::keyUp;
    if (isModifierKey(event.key(), *keyCode))
        type = Event::flagsChanged;
    return Event{type, *keyCode, flagsFromQt(event.modifiers(), event.nativeModifiers()), event.isAutoRepeat()};
}

bool QtEventBridge::eventFilter(QObject* watched, QEvent* event) {
    // Take each event at its window only: widgets pass unhandled key events on
    // to their parents, and the filter would see those again.
    if (forwarding_ || !watched->isWindowType())
        return false;
    switch (event->type()) {
        case QEvent::Show:
            if (static_cast<const QWindow*>(watched)->type() == Qt::Popup)
                popupShown(watched);
            return false;
        case QEvent::Hide:
            popupHidden(watched);
            return false;
        case QEvent::KeyPress:
        case QEvent::KeyRelease: {
            const auto& keyEvent = static_cast<const QKeyEvent&>(*event);
            const auto ours = toEvent(keyEvent);
            if (!ours)
                return false;
            const auto result = ApplicationEvents::dispatch(*ours);
            if (!result)
                return true;
            if (*result == *ours)
                return false;
            // A monitor replaced the event: deliver the replacement instead.
            const auto replacement = toQtEvent(keyEvent, *result);
            forwarding_ = true;
            QCoreApplication::sendEvent(watched, replacement.get());
            forwarding_ = false;
            return true;
        }
        case QEvent::MouseButtonRelease: {
            const auto& mouse = static_cast<const QMouseEvent&>(*event);
            int type = 0;
            if (mouse.button() == Qt::LeftButton)
                type = Event::leftMouseUp;
            else if (mouse.button() == Qt::RightButton)
                type = Event::rightMouseUp;
            else
                return false;
            const auto where = mouse.globalPosition();
            return !ApplicationEvents::dispatch(
                Event{type, 0, flagsFromQt(mouse.modifiers(), 0), false, where.x(), where.y()});
        }
        default:
            return false;
    }
}

void QtEventBridge::popupShown(const QObject* window) {
    if (std::ranges::find(openPopups_, window) != openPopups_.end())
        return;
    openPopups_.push_back(window);
    if (openPopups_.size() == 1)
        platform::NotificationCenter::defaultCenter().post(std::string(kMenuDidBeginTracking));
}

void QtEventBridge::popupHidden(const QObject* window) {
    if (std::erase(openPopups_, window) == 0)
        return;
    if (openPopups_.empty())
        platform::NotificationCenter::defaultCenter().post(std::string(kMenuDidEndTracking));
}

}  // namespace GlobalShortcuts
