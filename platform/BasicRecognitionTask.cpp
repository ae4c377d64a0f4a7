#include "platform/BasicRecognitionTask.h"

namespace platform {

BasicRecognitionTask::BasicRecognitionTask(std::shared_ptr<AudioBufferRecognitionRequest> request,
                                           SpeechRecognitionEngine::ResultHandler onResult)
    : request_(std::move(request)), onResult_(std::move(onResult)) {}

void BasicRecognitionTask::cancel() {
    {
        const std::lock_guard lock(mutex_);
        cancelled_ = true;
    }
    done_.notify_all();
    if (request_) request_->interrupt();
    // Waits for a handler call that began before the flag was set.
    const std::lock_guard handlerLock(handlerMutex_);
    onResult_ = nullptr;
}

std::optional<RecognitionResult> BasicRecognitionTask::waitForFinalResult(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    done_.wait_for(lock, limit, [this] { return cancelled_ || ended_; });
    return cancelled_ ? std::nullopt : final_;
}

bool BasicRecognitionTask::report(const std::optional<RecognitionResult>& result, const std::optional<Error>& error) {
    const std::lock_guard handlerLock(handlerMutex_);
    const bool ends = error.has_value() || (result && result->isFinal);
    {
        const std::lock_guard lock(mutex_);
        if (cancelled_ || finished_) return false;
        finished_ = ends;
    }
    if (onResult_) onResult_(result, error);
    if (ends) {
        // Waiters wake once the handler has had the final word.
        {
            const std::lock_guard lock(mutex_);
            ended_ = true;
            if (!error && result) final_ = result;
        }
        done_.notify_all();
    }
    return true;
}

void BasicRecognitionTask::finishSilently() {
    {
        const std::lock_guard lock(mutex_);
        finished_ = true;
        ended_ = true;
    }
    done_.notify_all();
}

bool BasicRecognitionTask::isCancelled() const {
    const std::lock_guard lock(mutex_);
    return cancelled_;
}

bool BasicRecognitionTask::isDone() const {
    const std::lock_guard lock(mutex_);
    return cancelled_ || finished_;
}

}  // namespace platform
