#include "platform/qt/QtOwnActivation.h"

#include <QGuiApplication>
#include <QWindow>

#include "platform/ApplicationActivationEvents.h"

namespace platform {

QtOwnActivation::QtOwnActivation(std::shared_ptr<ApplicationActivationEvents> events)
    : context_(std::make_unique<QObject>()) {
    QObject::connect(qGuiApp, &QGuiApplication::applicationStateChanged, context_.get(),
                     [events = std::move(events)](Qt::ApplicationState state) {
                         const QWindow* window = QGuiApplication::focusWindow();
                         // The window's id is the X window the window manager
                         // names active, so both reports of one activation meet.
                         if (state == Qt::ApplicationActive && window)
                             events->applicationActivated(window->winId());
                     });
}

}  // namespace platform
