#include "panel/LinuxVoiceAuthorization.h"

#include <utility>

#include "platform/qt/QtSettingsLink.h"

namespace panel {

LinuxVoiceAuthorization::LinuxVoiceAuthorization(std::shared_ptr<platform::SettingsLink> settingsLink)
    : settingsLink_(settingsLink ? std::move(settingsLink) : std::make_shared<platform::QtSettingsLink>()) {}

void LinuxVoiceAuthorization::openMicrophoneSettings() {
    // The link logs when this desktop has no settings program it knows.
    settingsLink_->open(platform::SettingsPane::Microphone);
}

}  // namespace panel
