#pragma once

#include <functional>
#include <memory>

#include "panel/VoiceAuthorization.h"
#include "platform/SettingsLink.h"

namespace panel {

// Linux asks no per-program permission for the microphone or for speech
// recognition: every status is "authorised" and every request is granted at
// once. Whether a microphone works shows when recording starts. "Open
// Settings" opens the desktop's sound settings where it knows them.
class LinuxVoiceAuthorization final : public VoiceAuthorization {
public:
    // `settingsLink` opens the desktop's sound settings.
    explicit LinuxVoiceAuthorization(std::shared_ptr<platform::SettingsLink> settingsLink);

    MicrophoneStatus microphoneStatus() const override { return MicrophoneStatus::authorized; }
    void requestMicrophoneAccess(std::function<void(bool granted)> completion) override { completion(true); }
    void requestSpeechRecognitionAuthorization(std::function<void(bool authorized)> completion) override {
        completion(true);
    }
    void openMicrophoneSettings() override;

private:
    std::shared_ptr<platform::SettingsLink> settingsLink_;
};

}  // namespace panel
