#include "platform/qt/QtSettingsLink.h"

#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

#include <cstdlib>

#include "platform/Logger.h"

namespace platform {

namespace {

const Logger& log() {
    static const Logger logger("quillary", "settings-link");
    return logger;
}

}  // namespace

bool QtSettingsLink::open(SettingsPane pane) {
    const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
    const auto command = commandFor(pane, desktop ? desktop : "");
    if (!command) {
        log().info(std::string("No settings program is known for the desktop \"") + outsideText(desktop ? desktop : "") +
                   "\"; nothing opened");
        return false;
    }
    const QString program = QStandardPaths::findExecutable(QString::fromStdString(command->front()));
    if (program.isEmpty()) {
        log().info("The settings program " + command->front() + " is not installed; nothing opened");
        return false;
    }
    QStringList arguments;
    for (auto it = command->begin() + 1; it != command->end(); ++it)
        arguments << QString::fromStdString(*it);
    if (!QProcess::startDetached(program, arguments)) {
        log().error("Could not start " + command->front());
        return false;
    }
    return true;
}

}  // namespace platform
