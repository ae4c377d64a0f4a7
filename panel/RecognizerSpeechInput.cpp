#include "panel/RecognizerSpeechInput.h"

#include <stdexcept>
#include <utility>

namespace panel {

RecognizerSpeechInput::RecognizerSpeechInput(std::unique_ptr<desktop::SpeechRecognizer> recognizer,
                                             platform::NotificationCenter& center)
    : recognizer_(std::move(recognizer)), center_(center) {
    if (!recognizer_) throw std::invalid_argument("RecognizerSpeechInput needs a recogniser");
    levelSubscription_ = recognizer_->subscribe([this](desktop::SpeechRecognizer::Property property) {
        if (property == desktop::SpeechRecognizer::Property::AudioLevel && levelHandler_)
            levelHandler_(recognizer_->audioLevel());
    });
}

RecognizerSpeechInput::~RecognizerSpeechInput() {
    // The recogniser's teardown may still publish: nobody listens any more.
    silenceObserver_.reset();
    recognizer_->unsubscribe(levelSubscription_);
}

std::optional<std::string> RecognizerSpeechInput::startRecording(bool autoSubmit) {
    if (recognizer_->startRecording(autoSubmit)) return std::nullopt;
    const auto& error = recognizer_->startError();
    return error ? error->description() : std::string("The microphone could not be started.");
}

void RecognizerSpeechInput::setSilenceHandler(std::function<void(const platform::Notification&)> handler) {
    silenceHandler_ = std::move(handler);
    if (!silenceHandler_) {
        silenceObserver_.reset();
        return;
    }
    if (silenceObserver_) return;
    silenceObserver_ =
        center_.addObserver(desktop::kSpeechSilenceNotification, [this](const platform::Notification& notification) {
            const auto* poster = notification.value<const desktop::SpeechRecognizer*>("recognizer");
            if (poster && *poster == recognizer_.get() && silenceHandler_) silenceHandler_(notification);
        });
}

}  // namespace panel
