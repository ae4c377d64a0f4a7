#include "platform/fake/ScriptedSpeechRecognitionEngine.h"

namespace platform {

ScriptedSpeechRecognitionEngine::Task::Task(std::shared_ptr<AudioBufferRecognitionRequest> request,
                                            ResultHandler onResult, std::optional<std::string> finalOnEnd)
    : BasicRecognitionTask(std::move(request), std::move(onResult)) {
    if (!finalOnEnd) return;
    reader_ = std::thread([this, text = std::move(*finalOnEnd)] {
        std::vector<float> samples;
        double rate = 0;
        for (;;) {
            switch (this->request()->take(samples, rate, std::chrono::milliseconds(50))) {
                case AudioBufferRecognitionRequest::Take::Audio:
                    framesRead_ += samples.size();
                    break;
                case AudioBufferRecognitionRequest::Take::TimedOut:
                    break;
                case AudioBufferRecognitionRequest::Take::Ended:
                    emitFinal(text);
                    return;
                case AudioBufferRecognitionRequest::Take::Interrupted:
                    return;
            }
        }
    });
}

ScriptedSpeechRecognitionEngine::Task::~Task() {
    if (!reader_.joinable()) return;
    request()->interrupt();
    reader_.join();
}

std::shared_ptr<RecognitionTask> ScriptedSpeechRecognitionEngine::recognitionTask(
    std::shared_ptr<AudioBufferRecognitionRequest> request, ResultHandler onResult) {
    const std::lock_guard lock(mutex_);
    auto task = std::make_shared<Task>(std::move(request), std::move(onResult), finalOnEnd_);
    tasks_.push_back(task);
    return task;
}

void ScriptedSpeechRecognitionEngine::setFinalTranscriptOnEnd(std::optional<std::string> text) {
    const std::lock_guard lock(mutex_);
    finalOnEnd_ = std::move(text);
}

std::size_t ScriptedSpeechRecognitionEngine::taskCount() const {
    const std::lock_guard lock(mutex_);
    return tasks_.size();
}

std::shared_ptr<ScriptedSpeechRecognitionEngine::Task> ScriptedSpeechRecognitionEngine::task(std::size_t index) const {
    const std::lock_guard lock(mutex_);
    return index < tasks_.size() ? tasks_[index] : nullptr;
}

std::shared_ptr<ScriptedSpeechRecognitionEngine::Task> ScriptedSpeechRecognitionEngine::lastTask() const {
    const std::lock_guard lock(mutex_);
    return tasks_.empty() ? nullptr : tasks_.back();
}

}  // namespace platform
