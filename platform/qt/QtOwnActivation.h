#pragma once

#include <memory>

#include <QObject>

namespace platform {

class ApplicationActivationEvents;

// Reports the program's own activation (one of its windows takes the focus)
// as an application activation, also where no window manager keeps
// _NET_ACTIVE_WINDOW. Make it on the main thread after the QGuiApplication.
class QtOwnActivation {
public:
    explicit QtOwnActivation(std::shared_ptr<ApplicationActivationEvents> events);

private:
    std::unique_ptr<QObject> context_;  // ends the connection with it
};

}  // namespace platform
