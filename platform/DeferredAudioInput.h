#pragma once

#include <functional>
#include <memory>

#include "platform/AudioInput.h"

namespace platform {

// An audio input whose real one is made by the first `start`, not when this
// one is: a recogniser made with each panel holds it, while the sound
// libraries stay unloaded until the user records. The tap and the failure
// handler given before are handed on then. A factory that throws an Error
// makes that `start` fail with it; the next `start` tries again. Like every
// input, used from the main thread.
class DeferredAudioInput final : public AudioInput {
public:
    using Factory = std::function<std::unique_ptr<AudioInput>()>;
    explicit DeferredAudioInput(Factory factory);
    ~DeferredAudioInput() override;

    AudioFormat outputFormat() const override;
    void installTap(std::size_t bufferSize, TapHandler onBuffer) override;
    void removeTap() override;
    void setFailureHandler(FailureHandler onFailure) override;
    void start() override;
    void stop() override;
    bool isRunning() const override;

private:
    Factory factory_;
    std::unique_ptr<AudioInput> input_;
    std::size_t bufferSize_ = 0;
    TapHandler tap_;
    FailureHandler onFailure_;
};

}  // namespace platform
