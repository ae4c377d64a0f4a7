#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "panel/VoiceAuthorization.h"

namespace panel {

// Linux asks no per-program permission for the microphone or for speech
// recognition: every status is "authorised" and every request is granted at
// once. Whether a microphone works shows when recording starts. "Open
// Settings" opens the desktop's sound settings where it knows them.
class LinuxVoiceAuthorization final : public VoiceAuthorization {
public:
    MicrophoneStatus microphoneStatus() const override { return MicrophoneStatus::authorized; }
    void requestMicrophoneAccess(std::function<void(bool granted)> completion) override { completion(true); }
    void requestSpeechRecognitionAuthorization(std::function<void(bool authorized)> completion) override {
        completion(true);
    }
    void openMicrophoneSettings() override;

    // The program and arguments that open the sound settings of the desktop
    // named by `currentDesktop` (XDG_CURRENT_DESKTOP, a colon-separated
    // list), when it is one we know and `isInstalled` finds its program.
    static std::optional<std::vector<std::string>> soundSettingsCommand(
        std::string_view currentDesktop, const std::function<bool(std::string_view program)>& isInstalled);
};

}  // namespace panel
