#pragma once

#include <functional>
#include <memory>
#include <mutex>

#include "platform/SpeechRecognitionEngine.h"

namespace platform {

// A recogniser made by the first recognition task, not when the recogniser
// is: its model is tens of megabytes, which a program whose user never
// dictates should not hold. Audio appended before the model is ready waits in
// the request, so nothing said is lost. A factory that gives nothing (no
// model installed) means no recogniser: tasks are null, as without one.
// Thread-safe.
class DeferredSpeechEngine final : public SpeechRecognitionEngine {
public:
    using Factory = std::function<std::shared_ptr<SpeechRecognitionEngine>()>;
    explicit DeferredSpeechEngine(Factory factory);

    std::shared_ptr<RecognitionTask> recognitionTask(std::shared_ptr<AudioBufferRecognitionRequest> request,
                                                     ResultHandler onResult) override;

    bool isMade() const;

private:
    Factory factory_;
    mutable std::mutex mutex_;
    bool made_ = false;
    std::shared_ptr<SpeechRecognitionEngine> engine_;
};

}  // namespace platform
