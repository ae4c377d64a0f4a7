#pragma once

#include <QObject>

#include <optional>

#include "GlobalShortcuts/Event.h"

class QKeyEvent;

namespace GlobalShortcuts {

// Feeds the Qt application's key and mouse-up events into ApplicationEvents,
// as an application-wide event filter. Events are taken at the window they
// are first delivered to, so each is seen once however far it propagates.
class QtEventBridge final : public QObject {
public:
    // Installs the bridge on the running QCoreApplication, once; without an
    // application it does nothing.
    static void ensureInstalled();

    // The event a Qt key event stands for; none for keys without a position
    // in the shortcut key codes.
    static std::optional<Event> toEvent(const QKeyEvent& event);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using QObject::QObject;
    bool forwarding_ = false;
};

}  // namespace GlobalShortcuts
