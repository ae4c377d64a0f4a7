#include "platform/SettingsLink.h"

namespace platform {

namespace {

bool names(std::string_view desktops, std::string_view wanted) {
    while (!desktops.empty()) {
        const auto colon = desktops.find(':');
        if (desktops.substr(0, colon) == wanted)
            return true;
        if (colon == std::string_view::npos)
            break;
        desktops.remove_prefix(colon + 1);
    }
    return false;
}

}  // namespace

std::optional<std::vector<std::string>> SettingsLink::commandFor(SettingsPane pane, std::string_view currentDesktop) {
    const bool accessibility = pane == SettingsPane::Accessibility;
    if (names(currentDesktop, "GNOME") || names(currentDesktop, "Unity"))
        return std::vector<std::string>{"gnome-control-center", accessibility ? "universal-access" : "sound"};
    if (names(currentDesktop, "KDE"))
        return std::vector<std::string>{"systemsettings", accessibility ? "kcm_access" : "kcm_pulseaudio"};
    return std::nullopt;
}

}  // namespace platform
