#include "platform/DeferredAudioInput.h"

#include <utility>

namespace platform {

DeferredAudioInput::DeferredAudioInput(Factory factory) : factory_(std::move(factory)) {}

DeferredAudioInput::~DeferredAudioInput() = default;

// Before the real input exists, the interface's own format: mono at 16 kHz.
AudioFormat DeferredAudioInput::outputFormat() const { return input_ ? input_->outputFormat() : AudioFormat{}; }

void DeferredAudioInput::installTap(std::size_t bufferSize, TapHandler onBuffer) {
    if (input_) return input_->installTap(bufferSize, std::move(onBuffer));
    bufferSize_ = bufferSize;
    tap_ = std::move(onBuffer);
}

void DeferredAudioInput::removeTap() {
    if (input_) return input_->removeTap();
    tap_ = nullptr;
}

void DeferredAudioInput::setFailureHandler(FailureHandler onFailure) {
    if (input_) return input_->setFailureHandler(std::move(onFailure));
    onFailure_ = std::move(onFailure);
}

void DeferredAudioInput::start() {
    if (!input_) {
        input_ = factory_();
        if (tap_) input_->installTap(bufferSize_, std::exchange(tap_, nullptr));
        if (onFailure_) input_->setFailureHandler(std::exchange(onFailure_, nullptr));
    }
    input_->start();
}

void DeferredAudioInput::stop() {
    if (input_) input_->stop();
}

bool DeferredAudioInput::isRunning() const { return input_ && input_->isRunning(); }

}  // namespace platform
