#pragma once

#include <atomic>
#include <cstddef>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/AudioInput.h"

namespace platform {

// A microphone the test plays: `deliver` hands a buffer to the tap (on the
// calling thread, which stands for the audio thread), `failNextStart` makes
// the next start throw, `failWhileRunning` ends capture as a lost server
// would. Records what it was asked. Thread-safe.
class ScriptedAudioInput final : public AudioInput {
public:
    explicit ScriptedAudioInput(AudioFormat format = {}) : format_(format) {}

    AudioFormat outputFormat() const override { return format_; }
    void installTap(std::size_t bufferSize, TapHandler onBuffer) override;
    void removeTap() override;
    void setFailureHandler(FailureHandler onFailure) override;
    void start() override;
    void stop() override;
    bool isRunning() const override { return running_; }

    void failNextStart(Error error);

    // Sends `samples` (interleaved, in the input's format) as one buffer to
    // the tap if capture runs and a tap is installed; returns whether it went.
    bool deliver(const std::vector<float>& samples);
    // A buffer of `frames` frames without float data.
    bool deliverWithoutFloatData(std::size_t frames);
    // A buffer of `frames` frames all holding `value`.
    bool deliverConstant(float value, std::size_t frames = 1024);
    // Capture ends on its own; the failure handler hears `error`.
    void failWhileRunning(Error error);

    int startCount() const;
    int stopCount() const;
    int installTapCount() const;
    int removeTapCount() const;
    bool hasTap() const;
    std::size_t lastTapBufferSize() const;

private:
    bool deliverBuffer(const AudioBuffer& buffer);

    const AudioFormat format_;
    mutable std::mutex mutex_;
    std::atomic<bool> running_{false};
    TapHandler tap_;
    FailureHandler onFailure_;
    std::optional<Error> nextStartError_;
    std::size_t tapBufferSize_ = 0;
    int starts_ = 0;
    int stops_ = 0;
    int installs_ = 0;
    int removes_ = 0;
};

}  // namespace platform
