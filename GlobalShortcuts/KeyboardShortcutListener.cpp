#include "GlobalShortcuts/KeyboardShortcutListener.h"

#include <QEvent>
#include <QPointer>
#include <QWidget>

#include "GlobalShortcuts/GlobalShortcuts.h"

namespace GlobalShortcuts {

KeyboardShortcutListener::KeyboardShortcutListener(QWidget& view, Name name, std::optional<EventType> only,
                                                   Action action)
    : QObject(&view), name_(std::move(name)), only_(only), action_(std::move(action)) {
    view.installEventFilter(this);
    if (view.isVisible())
        start();
}

bool KeyboardShortcutListener::eventFilter(QObject*, QEvent* event) {
    if (event->type() == QEvent::Show)
        start();
    else if (event->type() == QEvent::Hide)
        stop();
    return false;
}

void KeyboardShortcutListener::start() {
    if (stream_)
        return;
    stream_.emplace(only_ ? events(*only_, name_) : events(name_));
    // Events arrive inside the hot-key dispatch; act on them on a later turn,
    // where an action may hide or delete the view safely.
    stream_->setOnEvent([self = QPointer<KeyboardShortcutListener>(this)] {
        if (const auto loop = detail::mainLoop())
            loop->post([self] {
                if (self)
                    self->deliverBuffered();
            });
    });
}

void KeyboardShortcutListener::stop() { stream_.reset(); }

void KeyboardShortcutListener::deliverBuffered() {
    const QPointer<KeyboardShortcutListener> self(this);
    while (self && stream_) {
        const auto type = stream_->next();
        if (!type)
            return;
        action_(*type);
    }
}

KeyboardShortcutListener* onKeyboardShortcut(QWidget& view, const Name& name, std::function<void(EventType)> action) {
    return new KeyboardShortcutListener(view, name, std::nullopt, std::move(action));
}

KeyboardShortcutListener* onKeyboardShortcut(QWidget& view, const Name& name, EventType type,
                                             std::function<void()> action) {
    return new KeyboardShortcutListener(view, name, type,
                                        [action = std::move(action)](EventType) { action(); });
}

}  // namespace GlobalShortcuts
