#include "platform/DeferredSpeechEngine.h"

#include <utility>

namespace platform {

DeferredSpeechEngine::DeferredSpeechEngine(Factory factory) : factory_(std::move(factory)) {}

bool DeferredSpeechEngine::isMade() const {
    std::lock_guard lock(mutex_);
    return made_;
}

std::shared_ptr<RecognitionTask> DeferredSpeechEngine::recognitionTask(
    std::shared_ptr<AudioBufferRecognitionRequest> request, ResultHandler onResult) {
    std::shared_ptr<SpeechRecognitionEngine> engine;
    {
        std::lock_guard lock(mutex_);
        if (!made_) {
            engine_ = factory_();
            made_ = true;
        }
        engine = engine_;
    }
    return engine ? engine->recognitionTask(std::move(request), std::move(onResult)) : nullptr;
}

}  // namespace platform
