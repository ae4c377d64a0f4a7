#include "panel/LinuxVoiceAuthorization.h"

#include <utility>

#include "platform/Required.h"

namespace panel {

LinuxVoiceAuthorization::LinuxVoiceAuthorization(std::shared_ptr<platform::SettingsLink> settingsLink)
    : settingsLink_(platform::required(std::move(settingsLink), "LinuxVoiceAuthorization: the settings link")) {}

void LinuxVoiceAuthorization::openMicrophoneSettings() {
    // The link logs when this desktop has no settings program it knows.
    settingsLink_->open(platform::SettingsPane::Microphone);
}

}  // namespace panel
