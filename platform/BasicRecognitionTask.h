#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>

#include "platform/SpeechRecognitionEngine.h"

namespace platform {

// The bookkeeping every recogniser's task shares: results go to the handler
// until the final one, an error or `cancel`; `cancel` waits for a handler call
// in progress, so none runs after it returns; `waitForFinalResult` waits for
// the end. A recogniser's decoding thread calls `report`.
class BasicRecognitionTask : public RecognitionTask {
public:
    BasicRecognitionTask(std::shared_ptr<AudioBufferRecognitionRequest> request,
                         SpeechRecognitionEngine::ResultHandler onResult);

    void cancel() override;
    std::optional<RecognitionResult> waitForFinalResult(std::chrono::milliseconds limit) override;

    const std::shared_ptr<AudioBufferRecognitionRequest>& request() const { return request_; }

    // Hands a result and/or an error to the handler unless the task has
    // ended; a final result or an error ends it. Returns whether it went.
    bool report(const std::optional<RecognitionResult>& result, const std::optional<Error>& error);
    // Ends the task without telling the handler anything (the recogniser has
    // nothing to say, e.g. its model could not be loaded).
    void finishSilently();

    bool isCancelled() const;
    bool isDone() const;

private:
    const std::shared_ptr<AudioBufferRecognitionRequest> request_;
    SpeechRecognitionEngine::ResultHandler onResult_;

    // Held while the handler runs, so that `cancel` waits for it.
    std::mutex handlerMutex_;
    mutable std::mutex mutex_;
    std::condition_variable done_;
    bool cancelled_ = false;
    bool finished_ = false;  // no report goes out any more
    bool ended_ = false;     // ...and the last one has been handled
    std::optional<RecognitionResult> final_;
};

}  // namespace platform
