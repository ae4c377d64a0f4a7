#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/BasicRecognitionTask.h"

namespace platform {

// A recogniser the test plays. Each task records its request; the test sends
// partial and final results or errors from any thread. With a final
// transcript set, every new task also reads its request's audio on a thread
// of its own, as a decoder would, and reports that transcript as the final
// result once the audio has ended.
class ScriptedSpeechRecognitionEngine final : public SpeechRecognitionEngine {
public:
    class Task final : public BasicRecognitionTask {
    public:
        Task(std::shared_ptr<AudioBufferRecognitionRequest> request, ResultHandler onResult,
             std::optional<std::string> finalOnEnd);
        ~Task() override;

        bool emitPartial(std::string text) { return report(RecognitionResult{std::move(text), false}, std::nullopt); }
        bool emitFinal(std::string text) { return report(RecognitionResult{std::move(text), true}, std::nullopt); }
        bool emitError(Error error) { return report(std::nullopt, std::move(error)); }

        // Without a reading thread only the test ends the task, so waiting
        // for it would only sleep: it answers at once.
        std::optional<RecognitionResult> waitForFinalResult(std::chrono::milliseconds limit) override {
            return BasicRecognitionTask::waitForFinalResult(reader_.joinable() ? limit : std::chrono::milliseconds(0));
        }

        // Frames the reading thread has taken from the request.
        std::size_t framesRead() const { return framesRead_; }

    private:
        std::atomic<std::size_t> framesRead_{0};
        std::thread reader_;
    };

    std::shared_ptr<RecognitionTask> recognitionTask(std::shared_ptr<AudioBufferRecognitionRequest> request,
                                                     ResultHandler onResult) override;

    void setFinalTranscriptOnEnd(std::optional<std::string> text);

    std::size_t taskCount() const;
    std::shared_ptr<Task> task(std::size_t index) const;
    std::shared_ptr<Task> lastTask() const;

private:
    mutable std::mutex mutex_;
    std::optional<std::string> finalOnEnd_;
    std::vector<std::shared_ptr<Task>> tasks_;
};

}  // namespace platform
