#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/BasicRecognitionTask.h"
#include "platform/Logger.h"
#include "platform/SpeechRecognitionEngine.h"

namespace platform {

// US English speech recognition with PocketSphinx. The model (tens of
// megabytes) loads on the engine's own thread as soon as the engine is made;
// tasks made meanwhile keep their audio and are decoded once it is ready.
// One decoder serves the tasks one after another, in the order they were
// made; a cancelled task gives way at once.
class PocketSphinxEngine final : public SpeechRecognitionEngine {
public:
    static constexpr const char* kDefaultModelDirectory = "/usr/share/pocketsphinx/model/en-us";
    static constexpr double kSampleRate = 16000.0;

    struct Options {
        // Holds the acoustic model folder "en-us", "en-us.lm.bin" and
        // "cmudict-en-us.dict".
        std::string modelDirectory = kDefaultModelDirectory;
        // Partial results come at most this often.
        std::chrono::milliseconds partialInterval{100};
    };

    // An engine that starts loading its model, or null (with a log line) when
    // the model files are missing.
    static std::shared_ptr<PocketSphinxEngine> create(Options options);
    // The process-wide engine, made by the first call; null without a model.
    static std::shared_ptr<PocketSphinxEngine> shared();
    // Drops the process-wide engine, so that its thread is joined now (once
    // no recogniser holds it) rather than after `main` returned. For quit.
    static void releaseShared();

    // Waits for the model to finish loading (joining the engine's thread).
    ~PocketSphinxEngine() override;
    PocketSphinxEngine(const PocketSphinxEngine&) = delete;
    PocketSphinxEngine& operator=(const PocketSphinxEngine&) = delete;

    std::shared_ptr<RecognitionTask> recognitionTask(std::shared_ptr<AudioBufferRecognitionRequest> request,
                                                     ResultHandler onResult) override;

    enum class ModelState { Loading, Ready, Failed };
    // Waits at most `limit` for the load to end; returns the state then.
    ModelState waitForModel(std::chrono::milliseconds limit) const;
    // How long the load took, once it has ended.
    std::chrono::duration<double> loadDuration() const;

private:
    explicit PocketSphinxEngine(Options options);

    struct Decoder;
    void run();
    void decode(Decoder& decoder, BasicRecognitionTask& task);
    bool stopping() const;

    const Options options_;
    const Logger logger_{"quillary", "speech"};
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::deque<std::shared_ptr<BasicRecognitionTask>> queue_;
    ModelState state_ = ModelState::Loading;
    std::chrono::duration<double> loadDuration_{0};
    bool stopping_ = false;
    std::thread worker_;
};

}  // namespace platform
