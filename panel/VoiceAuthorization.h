#pragma once

#include <functional>

namespace panel {

// The microphone's authorisation status, with the values the panel's voice
// flow decides on.
enum class MicrophoneStatus { notDetermined = 0, restricted = 1, denied = 2, authorized = 3 };

// Whether the program may record and transcribe speech, and where the user
// goes to change that. On Linux there is no per-program permission, so the
// program's backing always answers "authorised"; tests use one that refuses.
// Called on the main thread; completions may arrive on any thread.
class VoiceAuthorization {
public:
    virtual ~VoiceAuthorization() = default;

    virtual MicrophoneStatus microphoneStatus() const = 0;
    // Asks the user for microphone access when that has not been decided.
    virtual void requestMicrophoneAccess(std::function<void(bool granted)> completion) = 0;
    // Asks for permission to transcribe speech.
    virtual void requestSpeechRecognitionAuthorization(std::function<void(bool authorized)> completion) = 0;
    // Opens the desktop's settings where the microphone is chosen and
    // unmuted; logs when it knows none.
    virtual void openMicrophoneSettings() = 0;
};

}  // namespace panel
