#include "desktop/SpeechRecognizer.h"

#include <algorithm>
#include <cmath>

#include <fmt/format.h>

#include "platform/Clock.h"
#include "platform/Logger.h"
#include "platform/NotificationCenter.h"
#include "platform/Required.h"
#include "platform/UndecodableValue.h"
#include "platform/UserDefaults.h"

namespace desktop {

namespace {

const platform::Logger& logger() {
    static const platform::Logger log("quillary", "speech");
    return log;
}

// "0.25", "1.0": the shortest text that reads back as the same float, with a
// fractional part even for whole numbers.
std::string levelText(float level) {
    std::string text = fmt::format("{}", level);
    if (text.find_first_of(".eEn") == std::string::npos) text += ".0";
    return text;
}

}  // namespace

// Owned by the recogniser alone and gone with it: work that the audio and
// recogniser threads post belongs to it, so the main loop drops what arrives
// after the recogniser was destroyed.
struct SpeechRecognizer::Recording {
    SpeechRecognizer* owner = nullptr;
};

// How the other threads reach the recogniser: a copy lives in every callback.
struct SpeechRecognizer::MainThread {
    std::shared_ptr<platform::MainLoop> loop;
    std::weak_ptr<Recording> recording;

    // Runs `task` on the main thread if the recogniser still exists then.
    void post(std::function<void(SpeechRecognizer&)> task) const {
        loop->post(recording, [recording = recording, task = std::move(task)] {
            // The loop keeps the recording alive while this runs.
            if (const auto alive = recording.lock()) task(*alive->owner);
        });
    }
};

SpeechRecognizer::SpeechRecognizer(Services services)
    : speechRecognizer_(std::move(services.speechRecognizer)),
      audioEngine_(platform::required(std::move(services.audioInput), "SpeechRecognizer: the audio input")),
      mainLoop_(platform::required(std::move(services.mainLoop), "SpeechRecognizer: the main loop")),
      notificationCenter_(services.notificationCenter ? services.notificationCenter
                                                      : &platform::NotificationCenter::defaultCenter()),
      defaults_(platform::required(std::move(services.defaults), "SpeechRecognizer: the settings store")),
      clock_(services.clock ? std::move(services.clock) : platform::Clock::system()),
      recording_(std::make_shared<Recording>()) {
    recording_->owner = this;
}

SpeechRecognizer::~SpeechRecognizer() {
    cancelSilenceTimer();
    if (recognitionTask_) recognitionTask_->cancel();
    if (finishingTask_) finishingTask_->cancel();
    tearDownCapture();
    // The input's own destructor joins its audio thread.
    audioEngine_.reset();
}

bool SpeechRecognizer::isRecording() const { return capturing_; }

SpeechRecognizer::MainThread SpeechRecognizer::mainThread() const { return MainThread{mainLoop_, recording_}; }

bool SpeechRecognizer::startRecording(bool autoSubmit) {
    // Never two captures: a running recording ends first, and its task is
    // cancelled since its transcript is about to be replaced.
    if (capturing_) {
        if (recognitionTask_) recognitionTask_->cancel();
        recognitionTask_.reset();
        stopRecording();
    }
    const std::uint64_t generation = ++generation_;
    startError_.reset();

    setTranscript("");
    setShouldAutoSubmit(autoSubmit);

    if (recognitionTask_) recognitionTask_->cancel();
    recognitionTask_.reset();
    // The previous recording's decoder may still be finishing; its words
    // would only be dropped now.
    if (finishingTask_) finishingTask_->cancel();
    finishingTask_.reset();

    cancelSilenceTimer();
    lastSignificantAudioTime_.reset();
    heardSpeech_ = false;
    submitWhenTranscribed_ = false;

    recognitionRequest_ = std::make_shared<platform::AudioBufferRecognitionRequest>();
    recognitionRequest_->setShouldReportPartialResults(true);

    if (speechRecognizer_) {
        recognitionTask_ = speechRecognizer_->recognitionTask(
            recognitionRequest_,
            [main = mainThread(), generation](const std::optional<platform::RecognitionResult>& result,
                                              const std::optional<platform::Error>& error) {
                main.post([generation, result, failed = error.has_value()](SpeechRecognizer& self) {
                    self.handleResult(generation, result, failed);
                });
            });
    }

    // Without a recogniser nothing reads the request, so the tap does not
    // fill it.
    auto request = recognitionTask_ ? recognitionRequest_ : nullptr;
    audioEngine_->installTap(kTapBufferSize, [main = mainThread(), request,
                                                generation](const platform::AudioBuffer& buffer) {
        if (request) request->append(buffer);
        if (!buffer.hasFloatData()) return;
        const float level = levelOf(buffer);
        main.post([generation, level](SpeechRecognizer& self) { self.updateAudioLevel(generation, level); });
    });
    audioEngine_->setFailureHandler([main = mainThread(), generation](const platform::Error& error) {
        main.post([generation, description = error.description()](SpeechRecognizer& self) {
            self.handleAudioFailure(generation, description);
        });
    });

    try {
        audioEngine_->start();
    } catch (const platform::Error& error) {
        platform::consoleLine("❌ Audio engine failed to start: " + platform::outsideText(error.description()));
        startError_ = error;
        if (recognitionTask_) recognitionTask_->cancel();
        recognitionTask_.reset();
        recognitionRequest_.reset();
        tearDownCapture();
        return false;
    }
    capturing_ = true;
    lastSignificantAudioTime_ = clock_->now();
    platform::consoleLine(std::string("🎙️ Started recording with autoSubmit: ") + (autoSubmit ? "true" : "false"));
    return true;
}

void SpeechRecognizer::stopRecording() {
    platform::consoleLine("🛑 Stopping recording");
    cancelSilenceTimer();
    lastSignificantAudioTime_.reset();
    submitWhenTranscribed_ = false;

    if (capturing_ || audioEngine_->isRunning()) {
        tearDownCapture();
        if (recognitionRequest_) recognitionRequest_->endAudio();
    }
    capturing_ = false;

    if (recognitionTask_) {
        // The panel reads the transcript right after this call: give the
        // decoder a moment to finish the words already captured.
        if (recognitionRequest_ && recognitionRequest_->audioEnded()) {
            if (auto final = recognitionTask_->waitForFinalResult(kFinalResultWait))
                setTranscript(formatTranscript(final->bestTranscription));
        }
        // Not cancelled: a final result may still come and update the
        // transcript.
        finishingTask_ = std::move(recognitionTask_);
        recognitionTask_.reset();
    }
    setAudioLevel(0.0F);
}

void SpeechRecognizer::tearDownCapture() {
    if (!audioEngine_) return;
    audioEngine_->stop();
    audioEngine_->removeTap();
    audioEngine_->setFailureHandler(nullptr);
}

void SpeechRecognizer::handleResult(std::uint64_t generation, const std::optional<platform::RecognitionResult>& result,
                                    bool failed) {
    if (generation != generation_) return;  // an earlier recording's
    if (result) {
        const bool submit = submitWhenTranscribed_ && !result->bestTranscription.empty();
        if (result->isFinal && !submit) stopRecording();
        setTranscript(formatTranscript(result->bestTranscription));
        if (submit) {
            submitWhenTranscribed_ = false;
            submitTranscript();
            return;
        }
    }
    if (failed) stopRecording();
}

void SpeechRecognizer::handleAudioFailure(std::uint64_t generation, const std::string& description) {
    if (generation != generation_ || !capturing_) return;
    logger().error("Audio input stopped: " + platform::outsideText(description));
    stopRecording();
}

void SpeechRecognizer::updateAudioLevel(std::uint64_t generation, float level) {
    // Levels still queued when their recording stopped are dropped too: they
    // would light the waveform and re-arm the countdown of a stopped recording.
    if (generation != generation_ || !capturing_) return;
    setAudioLevel(level);
    if (!shouldAutoSubmit_) return;

    if (level > kSilenceThreshold) {
        platform::consoleLine("🎤 Detected audio above threshold: " + levelText(level));
        lastSignificantAudioTime_ = clock_->now();
        heardSpeech_ = true;
        submitWhenTranscribed_ = false;
        cancelSilenceTimer();
        return;
    }
    if (!lastSignificantAudioTime_ || silenceTimer_) return;

    platform::consoleLine("🤫 Starting silence timer...");
    const auto delay = std::chrono::milliseconds(std::llround(silenceDuration() * 1000.0));
    // Cancelled by the destructor, so `this` is alive when it fires.
    silenceTimer_ = mainLoop_->addTimer(delay, false, [this] { silenceTimerFired(); });
}

void SpeechRecognizer::silenceTimerFired() {
    platform::consoleLine("⏰ Silence timer triggered");
    // The spent timer stays in `silenceTimer_`: no new countdown until speech.
    if (transcript_.empty()) {
        // Words were spoken but the decoder is behind the microphone (its
        // model still loading, a busy machine): they are sent when they come.
        if (heardSpeech_) submitWhenTranscribed_ = true;
        return;
    }
    submitTranscript();
}

void SpeechRecognizer::submitTranscript() {
    platform::consoleLine("📝 Transcript ready: \"" + platform::outsideText(transcript_) + "\"");
    const std::uint64_t generation = generation_;
    mainThread().post([generation](SpeechRecognizer& self) {
        if (generation != self.generation_) return;
        self.stopRecording();
        self.notificationCenter_->post(
            kSpeechSilenceNotification,
            {{"transcript", self.transcript_}, {"recognizer", static_cast<const SpeechRecognizer*>(&self)}});
    });
}

void SpeechRecognizer::cancelSilenceTimer() {
    if (silenceTimer_) mainLoop_->cancel(*silenceTimer_);
    silenceTimer_.reset();
}

double SpeechRecognizer::silenceDuration() const {
    constexpr std::string_view kKey = "silenceDuration";
    if (!platform::holdsReadable<double, std::int64_t, bool>(*defaults_, kKey, "not a number"))
        return kDefaultSilenceDuration;
    const double value = defaults_->double_(kKey);
    return value > 0.0 && std::isfinite(value) ? value : kDefaultSilenceDuration;
}

float SpeechRecognizer::levelOf(const platform::AudioBuffer& buffer) {
    if (!buffer.hasFloatData() || buffer.frameLength == 0) return 0.0F;
    // Summed in double: a float sum of a long buffer drifts.
    double sum = 0.0;
    for (std::size_t frame = 0; frame < buffer.frameLength; ++frame) sum += std::fabs(buffer.sample(0, frame));
    const auto level = static_cast<float>(sum / static_cast<double>(buffer.frameLength) * 5.0);
    // NaN samples fail every comparison; they count as silence.
    if (!(level > 0.0F)) return 0.0F;
    return std::min(level, 1.0F);
}

std::string SpeechRecognizer::formatTranscript(std::string_view words) {
    std::string text(words);
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') text[0] = static_cast<char>(text[0] - 'a' + 'A');
    return text;
}

void SpeechRecognizer::setTranscript(std::string value) {
    if (value == transcript_) return;
    transcript_ = std::move(value);
    observers_.notify(Property::Transcript);
}

void SpeechRecognizer::setAudioLevel(float value) {
    if (value == audioLevel_) return;
    audioLevel_ = value;
    observers_.notify(Property::AudioLevel);
}

void SpeechRecognizer::setShouldAutoSubmit(bool value) {
    if (value == shouldAutoSubmit_) return;
    shouldAutoSubmit_ = value;
    observers_.notify(Property::ShouldAutoSubmit);
}

}  // namespace desktop
