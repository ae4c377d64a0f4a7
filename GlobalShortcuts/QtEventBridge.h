#pragma once

#include <QObject>

#include <memory>
#include <optional>
#include <vector>

#include "GlobalShortcuts/Event.h"

class QKeyEvent;

namespace GlobalShortcuts {

// Feeds the Qt application's key and mouse-up events into ApplicationEvents,
// as an application-wide event filter. Events are taken at the window they
// are first delivered to, so each is seen once however far it propagates.
//
// It also tells the shortcut library when a menu opens and closes: a popup
// window (a menu, a combo box list) holds the keyboard while it is shown, so
// the first one shown posts kMenuDidBeginTracking and hiding the last one
// posts kMenuDidEndTracking.
class QtEventBridge final : public QObject {
public:
    // Installs the bridge on the running QCoreApplication, once; without an
    // application it does nothing.
    static void ensureInstalled();

    // The event a Qt key event stands for; none for keys without a position
    // in the shortcut key codes.
    static std::optional<Event> toEvent(const QKeyEvent& event);
    // The Qt key event that delivers `replacement` in place of `original`:
    // another key position brings its own Qt key and text.
    static std::unique_ptr<QKeyEvent> toQtEvent(const QKeyEvent& original, const Event& replacement);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using QObject::QObject;
    void popupShown(const QObject* window);
    void popupHidden(const QObject* window);

    bool forwarding_ = false;
    std::vector<const QObject*> openPopups_;
};

}  // namespace GlobalShortcuts
