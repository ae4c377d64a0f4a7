#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/NotificationCenter.h"

namespace panel {

// The panel's own speech recogniser, as the panel uses it. Each panel makes
// one and hears the silence notification of that one only, never one posted
// by a recogniser of an earlier panel. Main thread only.
class SpeechInput {
public:
    virtual ~SpeechInput() = default;

    // Starts a recording; with `autoSubmit` the recogniser stops by itself
    // after the configured silence and reports it through the silence
    // handler. Returns nothing when recording runs, else the user-facing
    // description of why it could not start.
    virtual std::optional<std::string> startRecording(bool autoSubmit) = 0;
    virtual void stopRecording() = 0;

    // The best transcription of the current or last recording.
    virtual std::string transcript() const = 0;
    // The input level of the last audio buffer, 0 to 1.
    virtual float audioLevel() const = 0;

    // The "speechRecognizerDidDetectSilence" notification of this recogniser
    // (user info {"transcript": std::string}), after it stopped itself. Null
    // removes the handler.
    virtual void setSilenceHandler(std::function<void(const platform::Notification&)> handler) = 0;
    // Called whenever audioLevel() changes. Null removes the handler.
    virtual void setAudioLevelHandler(std::function<void(float)> handler) = 0;
};

}  // namespace panel
