#include "platform/fake/ScriptedAudioInput.h"

namespace platform {

void ScriptedAudioInput::installTap(std::size_t bufferSize, TapHandler onBuffer) {
    const std::lock_guard lock(mutex_);
    tap_ = std::move(onBuffer);
    tapBufferSize_ = bufferSize;
    ++installs_;
}

void ScriptedAudioInput::removeTap() {
    const std::lock_guard lock(mutex_);
    tap_ = nullptr;
    ++removes_;
}

void ScriptedAudioInput::setFailureHandler(FailureHandler onFailure) {
    const std::lock_guard lock(mutex_);
    onFailure_ = std::move(onFailure);
}

void ScriptedAudioInput::start() {
    const std::lock_guard lock(mutex_);
    ++starts_;
    if (nextStartError_) {
        const Error error = *nextStartError_;
        nextStartError_.reset();
        throw error;
    }
    running_ = true;
}

void ScriptedAudioInput::stop() {
    // Taking the lock waits for a tap call in progress, so none runs after.
    const std::lock_guard lock(mutex_);
    ++stops_;
    running_ = false;
}

void ScriptedAudioInput::failNextStart(Error error) {
    const std::lock_guard lock(mutex_);
    nextStartError_ = std::move(error);
}

bool ScriptedAudioInput::deliverBuffer(const AudioBuffer& buffer) {
    const std::lock_guard lock(mutex_);
    if (!running_ || !tap_) return false;
    tap_(buffer);
    return true;
}

bool ScriptedAudioInput::deliver(const std::vector<float>& samples) {
    const auto channels = static_cast<std::size_t>(format_.channelCount < 1 ? 1 : format_.channelCount);
    // An empty buffer still holds float data, of no frames.
    static const float none = 0.0F;
    return deliverBuffer(AudioBuffer{format_, samples.size() / channels, samples.empty() ? &none : samples.data()});
}

bool ScriptedAudioInput::deliverWithoutFloatData(std::size_t frames) {
    return deliverBuffer(AudioBuffer{format_, frames, nullptr});
}

bool ScriptedAudioInput::deliverConstant(float value, std::size_t frames) {
    return deliver(std::vector<float>(frames * static_cast<std::size_t>(format_.channelCount), value));
}

void ScriptedAudioInput::failWhileRunning(Error error) {
    FailureHandler onFailure;
    {
        const std::lock_guard lock(mutex_);
        if (!running_) return;
        running_ = false;
        onFailure = onFailure_;
    }
    if (onFailure) onFailure(error);
}

int ScriptedAudioInput::startCount() const {
    const std::lock_guard lock(mutex_);
    return starts_;
}
int ScriptedAudioInput::stopCount() const {
    const std::lock_guard lock(mutex_);
    return stops_;
}
int ScriptedAudioInput::installTapCount() const {
    const std::lock_guard lock(mutex_);
    return installs_;
}
int ScriptedAudioInput::removeTapCount() const {
    const std::lock_guard lock(mutex_);
    return removes_;
}
bool ScriptedAudioInput::hasTap() const {
    const std::lock_guard lock(mutex_);
    return static_cast<bool>(tap_);
}
std::size_t ScriptedAudioInput::lastTapBufferSize() const {
    const std::lock_guard lock(mutex_);
    return tapBufferSize_;
}

}  // namespace platform
