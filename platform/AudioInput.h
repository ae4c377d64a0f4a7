#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "platform/Error.h"

namespace platform {

// Sample rate and channel count of the audio an input delivers.
struct AudioFormat {
    double sampleRate = 16000.0;
    int channelCount = 1;
};

// One buffer of captured audio, valid only during the tap call that gets it.
// Float samples are interleaved, `frameLength * format.channelCount` of them;
// a buffer in another sample format has no float data (`floatData` null).
struct AudioBuffer {
    AudioFormat format;
    std::size_t frameLength = 0;
    const float* floatData = nullptr;

    bool hasFloatData() const { return floatData != nullptr; }
    float sample(int channel, std::size_t frame) const {
        return floatData[frame * static_cast<std::size_t>(format.channelCount) + static_cast<std::size_t>(channel)];
    }
};

// The microphone as the speech recogniser sees it: an engine with one input
// bus that a tap reads buffer by buffer. Made, started and stopped on the main
// thread; the tap and the failure handler run on the input's own audio thread.
class AudioInput {
public:
    using TapHandler = std::function<void(const AudioBuffer&)>;
    using FailureHandler = std::function<void(const Error&)>;

    virtual ~AudioInput() = default;

    // The format the tap receives on bus 0.
    virtual AudioFormat outputFormat() const = 0;

    // Sends every captured buffer of about `bufferSize` frames to `onBuffer`.
    // A second tap replaces the first; it never fails.
    virtual void installTap(std::size_t bufferSize, TapHandler onBuffer) = 0;
    virtual void removeTap() = 0;

    // Called once when capture that had started ends on its own (the sound
    // server went away, the source was removed). The input is then stopped.
    virtual void setFailureHandler(FailureHandler onFailure) = 0;

    // Starts capture. Returns once the sound server has accepted the stream;
    // throws an `Error` saying why it could not (no server, no source).
    virtual void start() = 0;

    // Stops capture without waiting for the source to deliver anything. No tap
    // call starts after it returns. Stopping a stopped input does nothing.
    virtual void stop() = 0;

    virtual bool isRunning() const = 0;
};

}  // namespace platform
