#include "platform/AudioBufferRecognitionRequest.h"

#include <algorithm>

namespace platform {

AudioBufferRecognitionRequest::AudioBufferRecognitionRequest(std::size_t maxHeldFrames)
    : maxHeldFrames_(std::max<std::size_t>(maxHeldFrames, 1)) {}

void AudioBufferRecognitionRequest::append(const AudioBuffer& buffer) {
    if (!buffer.hasFloatData() || buffer.frameLength == 0 || buffer.format.channelCount < 1) return;
    {
        const std::lock_guard lock(mutex_);
        if (ended_ || interrupted_) return;
        sampleRate_ = buffer.format.sampleRate;
        for (std::size_t frame = 0; frame < buffer.frameLength; ++frame) held_.push_back(buffer.sample(0, frame));
        if (held_.size() > maxHeldFrames_) {
            const std::size_t excess = held_.size() - maxHeldFrames_;
            held_.erase(held_.begin(), held_.begin() + static_cast<std::ptrdiff_t>(excess));
            dropped_ += excess;
        }
    }
    changed_.notify_one();
}

void AudioBufferRecognitionRequest::endAudio() {
    {
        const std::lock_guard lock(mutex_);
        ended_ = true;
    }
    changed_.notify_one();
}

void AudioBufferRecognitionRequest::interrupt() {
    {
        const std::lock_guard lock(mutex_);
        interrupted_ = true;
    }
    changed_.notify_one();
}

AudioBufferRecognitionRequest::Take AudioBufferRecognitionRequest::take(std::vector<float>& samples,
                                                                        double& sampleRate,
                                                                        std::chrono::milliseconds wait) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, wait, [this] { return interrupted_ || ended_ || !held_.empty(); });
    if (interrupted_) return Take::Interrupted;
    if (held_.empty()) return ended_ ? Take::Ended : Take::TimedOut;
    samples.assign(held_.begin(), held_.end());
    held_.clear();
    sampleRate = sampleRate_;
    return Take::Audio;
}

bool AudioBufferRecognitionRequest::audioEnded() const {
    const std::lock_guard lock(mutex_);
    return ended_;
}

std::size_t AudioBufferRecognitionRequest::droppedFrames() const {
    const std::lock_guard lock(mutex_);
    return dropped_;
}

}  // namespace platform
