// The entry point of libquillary_speech.so, the one symbol it exports.

#include "platform/SpeechModule.h"
#include "platform/Threads.h"
#include "platform/speech/PocketSphinxEngine.h"
#include "platform/speech/PulseAudioInput.h"

namespace {

class Backends final : public platform::SpeechBackends {
public:
    std::unique_ptr<platform::AudioInput> makeAudioInput() override {
        return std::make_unique<platform::PulseAudioInput>();
    }
    std::shared_ptr<platform::SpeechRecognitionEngine> sharedRecognizer() override {
        return platform::PocketSphinxEngine::shared();
    }
    void releaseSharedRecognizer() override { platform::PocketSphinxEngine::releaseShared(); }
    // The module has its own copy of the logger: point it where the program's goes.
    void setLogSink(std::shared_ptr<platform::LogSink> sink) override { platform::Logger::setSink(std::move(sink)); }
    void setThreadCount(std::atomic<std::size_t>& count) override { platform::Threads::countInto(count); }
};

}  // namespace

extern "C" __attribute__((visibility("default"))) platform::SpeechBackends* quillary_speech_backends() {
    static Backends backends;
    return &backends;
}
