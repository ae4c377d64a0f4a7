#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <vector>

#include "platform/AudioInput.h"

namespace platform {

// The audio of one recording on its way from the audio thread to the
// recogniser: channel 0 of every appended buffer, kept until the recogniser
// takes it, then the end of the audio. One thread appends, one takes.
//
// Audio waits here while the recogniser's model is still loading. Past
// `maxHeldFrames` not yet taken, the oldest frames are dropped (and counted),
// so a recogniser that never reads cannot make a long recording grow without
// bound.
class AudioBufferRecognitionRequest {
public:
    // One minute at 16 kHz.
    static constexpr std::size_t kDefaultMaxHeldFrames = 16000 * 60;

    explicit AudioBufferRecognitionRequest(std::size_t maxHeldFrames = kDefaultMaxHeldFrames);

    // Whether the recogniser reports results while audio still arrives; set
    // before the recognition task starts.
    void setShouldReportPartialResults(bool value) { partialResults_ = value; }
    bool shouldReportPartialResults() const { return partialResults_; }

    // Producer side. Buffers without float data add nothing; appending after
    // the end is ignored.
    void append(const AudioBuffer& buffer);
    void endAudio();

    enum class Take { Audio, Ended, TimedOut, Interrupted };

    // Consumer side: waits up to `wait` for audio, then moves everything held
    // into `samples` (replacing its contents) with its sample rate. `Ended`
    // once the end was marked and everything before it was taken.
    Take take(std::vector<float>& samples, double& sampleRate, std::chrono::milliseconds wait);

    // Wakes a consumer waiting in `take` and makes every later take return
    // `Interrupted` (the task was cancelled).
    void interrupt();

    bool audioEnded() const;
    std::size_t droppedFrames() const;

private:
    const std::size_t maxHeldFrames_;
    std::atomic<bool> partialResults_{false};

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<float> held_;
    double sampleRate_ = 16000.0;
    bool ended_ = false;
    bool interrupted_ = false;
    std::size_t dropped_ = 0;
};

}  // namespace platform
