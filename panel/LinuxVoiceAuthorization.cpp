#include "panel/LinuxVoiceAuthorization.h"

#include <cstdlib>

#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

#include "platform/Logger.h"

namespace panel {

namespace {

const platform::Logger& logger() {
    static const platform::Logger log("quillary", "voice");
    return log;
}

bool namesDesktop(std::string_view list, std::string_view name) {
    while (!list.empty()) {
        const auto colon = list.find(':');
        if (list.substr(0, colon) == name) return true;
        if (colon == std::string_view::npos) break;
        list.remove_prefix(colon + 1);
    }
    return false;
}

}  // namespace

std::optional<std::vector<std::string>> LinuxVoiceAuthorization::soundSettingsCommand(
    std::string_view currentDesktop, const std::function<bool(std::string_view program)>& isInstalled) {
    struct Known {
        std::string_view desktop;
        std::vector<std::string> command;
    };
    static const Known known[] = {
        {"GNOME", {"gnome-control-center", "sound"}},  {"Unity", {"gnome-control-center", "sound"}},
        {"Budgie", {"gnome-control-center", "sound"}}, {"KDE", {"systemsettings", "kcm_pulseaudio"}},
    };
    for (const auto& entry : known)
        if (namesDesktop(currentDesktop, entry.desktop) && isInstalled(entry.command.front())) return entry.command;
    return std::nullopt;
}

void LinuxVoiceAuthorization::openMicrophoneSettings() {
    const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
    const auto command = soundSettingsCommand(desktop ? desktop : "", [](std::string_view program) {
        return !QStandardPaths::findExecutable(QString::fromUtf8(program.data(), static_cast<qsizetype>(program.size())))
                    .isEmpty();
    });
    if (!command) {
        logger().info("No sound settings known for this desktop; choose the microphone in its own settings");
        return;
    }
    QStringList arguments;
    for (std::size_t i = 1; i < command->size(); ++i) arguments << QString::fromStdString((*command)[i]);
    if (!QProcess::startDetached(QString::fromStdString(command->front()), arguments))
        logger().error("Could not start " + command->front());
}

}  // namespace panel
