#include "platform/speech/PocketSphinxEngine.h"

#include <pocketsphinx.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <vector>

#include <fmt/format.h>

#include "platform/Logger.h"
#include "platform/Threads.h"

namespace platform {

namespace {

struct ModelFiles {
    std::string acousticModel;
    std::string languageModel;
    std::string dictionary;
};

ModelFiles modelFiles(const std::string& directory) {
    const std::filesystem::path dir(directory);
    return {(dir / "en-us").string(), (dir / "en-us.lm.bin").string(), (dir / "cmudict-en-us.dict").string()};
}

std::int16_t toPcm(float sample) {
    // NaN becomes silence rather than an undefined conversion.
    if (!(sample == sample)) return 0;
    return static_cast<std::int16_t>(std::lround(std::clamp(sample, -1.0F, 1.0F) * 32767.0F));
}

}  // namespace

// The decoder, used by the engine's thread only.
struct PocketSphinxEngine::Decoder {
    ps_decoder_t* ps = nullptr;
    ~Decoder() {
        if (ps) ps_free(ps);
    }
};

std::shared_ptr<PocketSphinxEngine> PocketSphinxEngine::create(Options options) {
    const ModelFiles files = modelFiles(options.modelDirectory);
    std::error_code error;
    for (const auto& path : {files.acousticModel, files.languageModel, files.dictionary}) {
        if (!std::filesystem::exists(path, error)) {
            Logger("quillary", "speech").error("No speech model at " + path +
                                               ": voice input records without transcription");
            return nullptr;
        }
    }
    return std::shared_ptr<PocketSphinxEngine>(new PocketSphinxEngine(std::move(options)));
}

namespace {
struct SharedEngine {
    std::mutex mutex;
    bool made = false;
    std::shared_ptr<PocketSphinxEngine> engine;
};
SharedEngine& sharedEngine() {
    static SharedEngine shared;
    return shared;
}
}  // namespace

std::shared_ptr<PocketSphinxEngine> PocketSphinxEngine::shared() {
    SharedEngine& shared = sharedEngine();
    const std::lock_guard lock(shared.mutex);
    if (!shared.made) shared.engine = create(Options{});
    shared.made = true;
    return shared.engine;
}

void PocketSphinxEngine::releaseShared() {
    std::shared_ptr<PocketSphinxEngine> engine;
    {
        SharedEngine& shared = sharedEngine();
        const std::lock_guard lock(shared.mutex);
        engine = std::move(shared.engine);
        shared.made = false;
    }
    // Joined here, outside the lock, if this was the last owner.
}

PocketSphinxEngine::PocketSphinxEngine(Options options) : options_(std::move(options)) {
    worker_ = platform::startThread([this] { run(); });
}

PocketSphinxEngine::~PocketSphinxEngine() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    worker_.join();
    for (const auto& task : queue_) task->finishSilently();
}

bool PocketSphinxEngine::stopping() const {
    const std::lock_guard lock(mutex_);
    return stopping_;
}

std::shared_ptr<RecognitionTask> PocketSphinxEngine::recognitionTask(
    std::shared_ptr<AudioBufferRecognitionRequest> request, ResultHandler onResult) {
    auto task = std::make_shared<BasicRecognitionTask>(std::move(request), std::move(onResult));
    {
        const std::lock_guard lock(mutex_);
        queue_.push_back(task);
    }
    changed_.notify_all();
    return task;
}

PocketSphinxEngine::ModelState PocketSphinxEngine::waitForModel(std::chrono::milliseconds limit) const {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, limit, [this] { return state_ != ModelState::Loading; });
    return state_;
}

std::chrono::duration<double> PocketSphinxEngine::loadDuration() const {
    const std::lock_guard lock(mutex_);
    return loadDuration_;
}

void PocketSphinxEngine::run() {
    Decoder decoder;
    const auto started = std::chrono::steady_clock::now();
    const ModelFiles files = modelFiles(options_.modelDirectory);
    if (cmd_ln_t* config = cmd_ln_init(nullptr, ps_args(), TRUE, "-hmm", files.acousticModel.c_str(), "-lm",
                                       files.languageModel.c_str(), "-dict", files.dictionary.c_str(), "-logfn",
                                       "/dev/null", nullptr)) {
        decoder.ps = ps_init(config);
        cmd_ln_free_r(config);
    }
    {
        const std::lock_guard lock(mutex_);
        state_ = decoder.ps ? ModelState::Ready : ModelState::Failed;
        loadDuration_ = std::chrono::steady_clock::now() - started;
    }
    changed_.notify_all();
    if (!decoder.ps)
        logger_.error("The speech model in " + options_.modelDirectory +
                       " could not be loaded: voice input records without transcription");

    for (;;) {
        std::shared_ptr<BasicRecognitionTask> task;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (stopping_) return;
            task = std::move(queue_.front());
            queue_.pop_front();
        }
        if (decoder.ps)
            decode(decoder, *task);
        else
            task->finishSilently();
    }
}

void PocketSphinxEngine::decode(Decoder& decoder, BasicRecognitionTask& task) {
    if (task.isDone()) return;
    if (ps_start_utt(decoder.ps) < 0) {
        task.report(std::nullopt, Error("PocketSphinx", 1, "The speech recogniser could not start decoding"));
        return;
    }
    // Every way out ends the utterance, so the next task starts afresh.
    struct Utterance {
        ps_decoder_t* ps;
        bool open = true;
        void end() {
            if (open) ps_end_utt(ps);
            open = false;
        }
        ~Utterance() { end(); }
    } utterance{decoder.ps};

    const bool partials = task.request()->shouldReportPartialResults();
    std::vector<float> samples;
    std::vector<std::int16_t> pcm;
    std::string lastReported;
    auto lastPartial = std::chrono::steady_clock::now();
    for (;;) {
        if (stopping()) {
            task.finishSilently();
            return;
        }
        double rate = kSampleRate;
        switch (task.request()->take(samples, rate, std::chrono::milliseconds(50))) {
            case AudioBufferRecognitionRequest::Take::Interrupted:
                return;
            case AudioBufferRecognitionRequest::Take::TimedOut:
                continue;
            case AudioBufferRecognitionRequest::Take::Ended: {
                utterance.end();  // the final search
                const char* hyp = ps_get_hyp(decoder.ps, nullptr);
                task.report(RecognitionResult{hyp ? hyp : "", true}, std::nullopt);
                return;
            }
            case AudioBufferRecognitionRequest::Take::Audio:
                break;
        }
        if (rate != kSampleRate) {
            task.report(std::nullopt, Error("PocketSphinx", 2,
                                            fmt::format("The speech recogniser needs 16000 Hz audio, not {} Hz", rate)));
            return;
        }
        pcm.resize(samples.size());
        std::transform(samples.begin(), samples.end(), pcm.begin(), toPcm);
        if (ps_process_raw(decoder.ps, pcm.data(), pcm.size(), FALSE, FALSE) < 0) {
            task.report(std::nullopt, Error("PocketSphinx", 3, "The speech recogniser could not decode the audio"));
            return;
        }
        const auto now = std::chrono::steady_clock::now();
        if (!partials || now - lastPartial < options_.partialInterval) continue;
        lastPartial = now;
        const char* hyp = ps_get_hyp(decoder.ps, nullptr);
        if (hyp && *hyp && lastReported != hyp) {
            lastReported = hyp;
            task.report(RecognitionResult{lastReported, false}, std::nullopt);
        }
    }
}

}  // namespace platform
