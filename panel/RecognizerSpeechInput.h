#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "desktop/SpeechRecognizer.h"
#include "panel/SpeechInput.h"
#include "platform/NotificationCenter.h"

namespace panel {

// The panel's voice input on the program's speech recogniser. Of the silence
// notifications on the centre it passes on only those its own recogniser
// posted, so a panel never takes another panel's transcript.
class RecognizerSpeechInput final : public SpeechInput {
public:
    // `center` is the one the recogniser posts on (its default: the default
    // centre).
    explicit RecognizerSpeechInput(std::unique_ptr<desktop::SpeechRecognizer> recognizer,
                                   platform::NotificationCenter& center = platform::NotificationCenter::defaultCenter());
    ~RecognizerSpeechInput() override;

    std::optional<std::string> startRecording(bool autoSubmit) override;
    void stopRecording() override { recognizer_->stopRecording(); }
    std::string transcript() const override { return recognizer_->transcript(); }
    float audioLevel() const override { return recognizer_->audioLevel(); }
    void setSilenceHandler(std::function<void(const platform::Notification&)> handler) override;
    void setAudioLevelHandler(std::function<void(float)> handler) override { levelHandler_ = std::move(handler); }

    desktop::SpeechRecognizer& recognizer() { return *recognizer_; }

private:
    std::unique_ptr<desktop::SpeechRecognizer> recognizer_;
    platform::NotificationCenter& center_;
    std::function<void(const platform::Notification&)> silenceHandler_;
    std::function<void(float)> levelHandler_;
    core::ObserverToken levelSubscription_ = 0;
    platform::ObserverToken silenceObserver_;
};

}  // namespace panel
