#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/ObserverList.h"
#include "platform/AudioInput.h"
#include "platform/Error.h"
#include "platform/MainLoop.h"
#include "platform/SpeechRecognitionEngine.h"

namespace platform {
class Clock;
class NotificationCenter;
class UserDefaults;
}  // namespace platform

namespace desktop {

// Posted on the recogniser's notification centre when auto-submit heard
// silence after speech. User info: "transcript" (std::string) and
// "recognizer" (const SpeechRecognizer*, the poster, so that a panel can
// tell its own recogniser from another panel's).
inline constexpr const char* kSpeechSilenceNotification = "speechRecognizerDidDetectSilence";

// Turns microphone audio into text, publishes the running transcript and a
// 0-to-1 input level, and with auto-submit watches for silence after speech:
// once the level stayed at or below the threshold for "silenceDuration"
// seconds, it stops recording and posts `kSpeechSilenceNotification`.
//
// Lives on the main thread: every member is called there, and observers,
// timers and the notification run there. Audio buffers and recogniser
// results arrive on other threads and reach it through the main loop, tagged
// with their recording's generation: anything of an earlier recording that
// arrives after a newer `startRecording` is dropped.
class SpeechRecognizer {
public:
    enum class Property { Transcript, AudioLevel, ShouldAutoSubmit };

    static constexpr float kSilenceThreshold = 0.1F;
    static constexpr double kDefaultSilenceDuration = 2.0;
    static constexpr std::size_t kTapBufferSize = 1024;
    // How long `stopRecording` lets the decoder finish the captured audio.
    static constexpr std::chrono::milliseconds kFinalResultWait{300};

    struct Services {
        std::unique_ptr<platform::AudioInput> audioInput;
        // Null when there is no recogniser: recording runs without
        // transcription.
        std::shared_ptr<platform::SpeechRecognitionEngine> speechRecognizer;
        std::shared_ptr<platform::MainLoop> mainLoop;
        platform::NotificationCenter* notificationCenter = nullptr;
        std::shared_ptr<platform::UserDefaults> defaults;
        std::shared_ptr<platform::Clock> clock;
    };

    // The program's are the microphone through PulseAudio and the
    // process-wide PocketSphinx recogniser (made, and its model loaded in the
    // background, by the first recording of the process: audio waits for
    // it). A null recogniser means none; a null centre is the default
    // centre, a null clock the system clock; the others are required.
    explicit SpeechRecognizer(Services services);

    // Stops the microphone (joining its audio thread) and cancels the
    // recognition tasks: nothing of this recogniser runs after it returns.
    ~SpeechRecognizer();

    SpeechRecognizer(const SpeechRecognizer&) = delete;
    SpeechRecognizer& operator=(const SpeechRecognizer&) = delete;

    // Begins a recording (stopping a running one first). Returns whether it
    // runs; when it does not, everything it started is torn down and
    // `startError()` says why.
    bool startRecording(bool autoSubmit);

    // Ends the recording and lets the recogniser finish the audio already
    // captured (at most `kFinalResultWait`), so `transcript()` read next holds
    // the last words. Safe to call when not recording.
    void stopRecording();

    // Best transcription so far, with a capital first letter.
    const std::string& transcript() const { return transcript_; }
    // Input level of the last buffer, 0 to 1; 0 when not recording.
    float audioLevel() const { return audioLevel_; }
    bool shouldAutoSubmit() const { return shouldAutoSubmit_; }
    bool isRecording() const;
    // Why the last `startRecording` failed; empty after a successful one.
    const std::optional<platform::Error>& startError() const { return startError_; }
    // Counts `startRecording` calls; results carry it.
    std::uint64_t generation() const { return generation_; }
    bool hasRecognizer() const { return speechRecognizer_ != nullptr; }

    // Called on the main thread after a published value changed.
    core::ObserverToken subscribe(std::function<void(Property)> observer) {
        return observers_.subscribe(std::move(observer));
    }
    void unsubscribe(core::ObserverToken token) { observers_.unsubscribe(token); }

    // PocketSphinx writes lower-case words; people start with a capital.
    static std::string formatTranscript(std::string_view words);
    // Mean absolute sample of channel 0 times 5, clamped to 0...1; 0 for an
    // empty buffer or one without float data.
    static float levelOf(const platform::AudioBuffer& buffer);
    // "silenceDuration", or 2.0 when it is 0, negative or absent.
    double silenceDuration() const;

private:
    struct Recording;
    struct MainThread;
    MainThread mainThread() const;

    void handleResult(std::uint64_t generation, const std::optional<platform::RecognitionResult>& result,
                      bool failed);
    void handleAudioFailure(std::uint64_t generation, const std::string& description);
    void updateAudioLevel(std::uint64_t generation, float level);
    void silenceTimerFired();
    // Stops the recording and posts the transcript as the dictation.
    void submitTranscript();
    void cancelSilenceTimer();
    void setTranscript(std::string value);
    void setAudioLevel(float value);
    void setShouldAutoSubmit(bool value);
    void tearDownCapture();

    std::string transcript_;
    float audioLevel_ = 0.0F;
    bool shouldAutoSubmit_ = false;
    std::shared_ptr<platform::SpeechRecognitionEngine> speechRecognizer_;
    std::unique_ptr<platform::AudioInput> audioEngine_;
    std::shared_ptr<platform::AudioBufferRecognitionRequest> recognitionRequest_;
    std::shared_ptr<platform::RecognitionTask> recognitionTask_;
    // The task of the recording stopped last, still finishing its audio.
    std::shared_ptr<platform::RecognitionTask> finishingTask_;
    bool capturing_ = false;
    std::optional<platform::MainLoop::Id> silenceTimer_;
    std::optional<double> lastSignificantAudioTime_;
    // This recording heard speech, and its silence ended before the decoder
    // had turned any of it into words: the first words that come are sent.
    bool heardSpeech_ = false;
    bool submitWhenTranscribed_ = false;

    std::shared_ptr<platform::MainLoop> mainLoop_;
    platform::NotificationCenter* notificationCenter_;
    std::shared_ptr<platform::UserDefaults> defaults_;
    std::shared_ptr<platform::Clock> clock_;
    std::optional<platform::Error> startError_;
    std::uint64_t generation_ = 0;
    // The context of everything posted to the main thread for this object.
    std::shared_ptr<Recording> recording_;
    core::ObserverList<Property> observers_;
};

}  // namespace desktop
