#include "platform/SpeechModule.h"

#include <atomic>

#include "platform/DeferredAudioInput.h"
#include "platform/DeferredSpeechEngine.h"
#include "platform/ProgramModule.h"
#include "platform/Threads.h"

namespace platform {
namespace {

std::atomic<SpeechBackends*> loaded{nullptr};

}  // namespace

SpeechBackends& SpeechModule::backends() {
    if (auto* backends = loaded.load()) return *backends;
    using Entry = decltype(&quillary_speech_backends);
    const auto entry = reinterpret_cast<Entry>(ProgramModule::speech().symbol(kEntryPoint));
    SpeechBackends* backends = entry();
    backends->setLogSink(Logger::sink());
    backends->setThreadCount(Threads::count());
    loaded.store(backends);
    return *backends;
}

void SpeechModule::releaseSharedRecognizer() {
    if (auto* backends = loaded.load()) backends->releaseSharedRecognizer();
}

std::unique_ptr<AudioInput> SpeechModule::deferredAudioInput() {
    return std::make_unique<DeferredAudioInput>([] { return backends().makeAudioInput(); });
}

std::shared_ptr<SpeechRecognitionEngine> SpeechModule::deferredRecognizer() {
    // A module that cannot load means no recogniser, as without a model:
    // the recording still shows its level, and the log says why.
    return std::make_shared<DeferredSpeechEngine>([]() -> std::shared_ptr<SpeechRecognitionEngine> {
        try {
            return backends().sharedRecognizer();
        } catch (const Error& error) {
            Logger("quillary", "speech").error("No speech recogniser: " + error.description());
            return nullptr;
        }
    });
}

}  // namespace platform
