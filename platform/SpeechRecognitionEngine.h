#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/AudioBufferRecognitionRequest.h"
#include "platform/Error.h"

namespace platform {

// What the recogniser heard so far in one request.
struct RecognitionResult {
    std::string bestTranscription;  // as the recogniser writes it, unformatted
    bool isFinal = false;           // the last result of the request
};

// One request being recognised.
class RecognitionTask {
public:
    virtual ~RecognitionTask() = default;

    // Drops the rest of the audio; no result handler call starts after it
    // returns.
    virtual void cancel() = 0;

    // After the request's audio has ended: waits at most `limit` for the
    // decoder to finish it and returns the final result (which also goes to
    // the result handler), or nothing if it is not ready in time, the task
    // failed or was cancelled.
    virtual std::optional<RecognitionResult> waitForFinalResult(std::chrono::milliseconds limit) = 0;
};

// A speech recogniser for one language. Results and errors go to the handler
// on the recogniser's own thread, never on the caller's.
class SpeechRecognitionEngine {
public:
    // Called with a result, with an error, or with both; never after the
    // task's `cancel` has returned, nor after the final result or an error.
    using ResultHandler =
        std::function<void(const std::optional<RecognitionResult>& result, const std::optional<Error>& error)>;

    virtual ~SpeechRecognitionEngine() = default;

    // Starts recognising `request`, audio appended before and after this call
    // alike. Partial results come while audio arrives when the request asks
    // for them; the final one after its audio has ended.
    virtual std::shared_ptr<RecognitionTask> recognitionTask(std::shared_ptr<AudioBufferRecognitionRequest> request,
                                                             ResultHandler onResult) = 0;
};

}  // namespace platform
