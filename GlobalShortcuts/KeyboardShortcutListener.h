#pragma once

#include <QObject>

#include <functional>
#include <optional>

#include "GlobalShortcuts/EventStream.h"
#include "GlobalShortcuts/Name.h"

class QWidget;

namespace GlobalShortcuts {

// Runs an action for the presses (and releases) of a named global shortcut
// while a widget is shown: it listens from each show to the next hide, and
// goes with the widget (or when deleted). Actions run on the main loop, on a
// turn after the key event. Main thread only.
class KeyboardShortcutListener final : public QObject {
public:
    using Action = std::function<void(EventType)>;

    // `only`: the one event type to act on; none acts on both.
    KeyboardShortcutListener(QWidget& view, Name name, std::optional<EventType> only, Action action);

    bool isListening() const { return stream_.has_value(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void start();
    void stop();
    void deliverBuffered();

    Name name_;
    std::optional<EventType> only_;
    Action action_;
    std::optional<EventStream> stream_;
};

// The action gets every key down and key up of the name's shortcut.
KeyboardShortcutListener* onKeyboardShortcut(QWidget& view, const Name& name, std::function<void(EventType)> action);
// The action runs for each event of the given type only.
KeyboardShortcutListener* onKeyboardShortcut(QWidget& view, const Name& name, EventType type,
                                             std::function<void()> action);

}  // namespace GlobalShortcuts
