// Transcribing a 3-second utterance through the speech recogniser's path
// (1024-frame buffers into its tap, the final transcript out on the main
// loop) against PocketSphinx decoding the same samples directly; the model's
// load time; the delay from the end of speech to the silence notification.

#include <pocketsphinx.h>

#include <QCoreApplication>
#include <QTimer>

#include <atomic>
#include <cstdint>
#include <iostream>
#include <thread>

#include <benchmark/benchmark.h>

#include "TestSpeech.h"
#include "desktop/SpeechRecognizer.h"
#include "platform/Logger.h"
#include "platform/NotificationCenter.h"
#include "platform/fake/InMemoryUserDefaults.h"
#include "platform/fake/ManualMainLoop.h"
#include "platform/fake/ScriptedAudioInput.h"
#include "platform/qt/QtMainLoop.h"
#include "platform/speech/PocketSphinxEngine.h"

namespace {

using namespace std::chrono_literals;
constexpr const char* kSentence = "what is the weather today";

const std::vector<float>& utterance() {
    // About 3 s: 0.5 s of silence, the sentence, 1 s of silence.
    static const std::vector<float> samples = speechtest::spokenSamples(kSentence, 0.5, 1.0);
    return samples;
}

std::shared_ptr<platform::PocketSphinxEngine> loadedEngine() {
    static const auto engine = [] {
        auto made = platform::PocketSphinxEngine::create({});
        if (made) made->waitForModel(60s);
        return made;
    }();
    return engine;
}

// Console lines would swamp the figures.
struct QuietLog : platform::LogSink {
    void write(platform::LogLevel, std::string_view, std::string_view, std::string_view) override {}
};
const auto quiet = [] { return platform::Logger::setSink(std::make_shared<QuietLog>()); }();

// Passes tasks to the real engine and notes when a final result went out.
class FinalWatch final : public platform::SpeechRecognitionEngine {
public:
    explicit FinalWatch(std::shared_ptr<platform::SpeechRecognitionEngine> inner) : inner_(std::move(inner)) {}
    std::shared_ptr<platform::RecognitionTask> recognitionTask(std::shared_ptr<platform::AudioBufferRecognitionRequest> request,
                                                               ResultHandler onResult) override {
        finals = 0;
        return inner_->recognitionTask(std::move(request), [this, onResult](const auto& result, const auto& error) {
            onResult(result, error);
            if (result && result->isFinal) ++finals;
        });
    }
    std::atomic<int> finals{0};

private:
    std::shared_ptr<platform::SpeechRecognitionEngine> inner_;
};

void BM_RecognizerPath(benchmark::State& state) {
    const auto& samples = utterance();
    auto watch = std::make_shared<FinalWatch>(loadedEngine());
    auto loop = std::make_shared<platform::ManualMainLoop>();
    platform::NotificationCenter center;
    auto audio = std::make_unique<platform::ScriptedAudioInput>();
    auto* input = audio.get();
    desktop::SpeechRecognizer recognizer({std::move(audio), watch, loop, &center,
                                          std::make_shared<platform::InMemoryUserDefaults>(), nullptr});
    const std::vector<float> silence(1024, 0.0F);
    for (auto _ : state) {
        recognizer.startRecording(false);
        for (std::size_t at = 0; at + 1024 <= samples.size(); at += 1024)
            input->deliver(std::vector<float>(samples.begin() + static_cast<std::ptrdiff_t>(at),
                                              samples.begin() + static_cast<std::ptrdiff_t>(at + 1024)));
        loop->runPending();
        recognizer.stopRecording();
        while (watch->finals == 0) std::this_thread::yield();
        loop->runPending();  // the final result reaches the transcript
        if (recognizer.transcript() != "What is the weather today") state.SkipWithError("wrong transcript");
    }
    state.counters["audio_s"] = static_cast<double>(samples.size()) / 16000.0;
}

void BM_PocketSphinxDirect(benchmark::State& state) {
    const auto& samples = utterance();
    cmd_ln_t* config = cmd_ln_init(nullptr, ps_args(), TRUE, "-hmm", "/usr/share/pocketsphinx/model/en-us/en-us",
                                   "-lm", "/usr/share/pocketsphinx/model/en-us/en-us.lm.bin", "-dict",
                                   "/usr/share/pocketsphinx/model/en-us/cmudict-en-us.dict", "-logfn", "/dev/null",
                                   nullptr);
    ps_decoder_t* ps = ps_init(config);
    std::vector<std::int16_t> pcm(samples.size());
    for (auto _ : state) {
        ps_start_utt(ps);
        for (std::size_t at = 0; at + 1024 <= samples.size(); at += 1024) {
            for (std::size_t i = at; i < at + 1024; ++i) pcm[i] = static_cast<std::int16_t>(samples[i] * 32767.0F);
            ps_process_raw(ps, pcm.data() + at, 1024, FALSE, FALSE);
        }
        ps_end_utt(ps);
        const char* hyp = ps_get_hyp(ps, nullptr);
        if (!hyp || std::string(hyp) != kSentence) state.SkipWithError("wrong transcript");
    }
    ps_free(ps);
    cmd_ln_free_r(config);
}

void BM_ModelLoad(benchmark::State& state) {
    for (auto _ : state) {
        auto engine = platform::PocketSphinxEngine::create({});
        engine->waitForModel(60s);
        state.SetIterationTime(engine->loadDuration().count());
    }
}

// Real time: buffers arrive every 64 ms from an audio thread, timers are the
// Qt loop's. Measures from the last buffer holding speech to the silence
// notification, beside the configured silence duration.
void BM_EndOfSpeechToNotification(benchmark::State& state) {
    const auto& samples = utterance();
    auto loop = std::make_shared<platform::QtMainLoop>();
    platform::NotificationCenter center;
    auto defaults = std::make_shared<platform::InMemoryUserDefaults>();
    auto audio = std::make_unique<platform::ScriptedAudioInput>();
    auto* input = audio.get();
    desktop::SpeechRecognizer recognizer({std::move(audio), loadedEngine(), loop, &center, defaults, nullptr});
    double delay = 0;
    for (auto _ : state) {
        std::atomic<std::int64_t> lastSpeech{0};
        std::chrono::steady_clock::time_point posted;
        auto token = center.addObserver(desktop::kSpeechSilenceNotification, [&](const platform::Notification&) {
            posted = std::chrono::steady_clock::now();
            QCoreApplication::quit();
        });
        recognizer.startRecording(true);
        std::thread microphone([&] {
            for (std::size_t at = 0; at + 1024 <= samples.size(); at += 1024) {
                const std::vector<float> buffer(samples.begin() + static_cast<std::ptrdiff_t>(at),
                                                samples.begin() + static_cast<std::ptrdiff_t>(at + 1024));
                input->deliver(buffer);
                if (desktop::SpeechRecognizer::levelOf({{}, buffer.size(), buffer.data()}) > 0.1F)
                    lastSpeech = std::chrono::steady_clock::now().time_since_epoch().count();
                std::this_thread::sleep_for(64ms);
            }
            // Then the room stays quiet.
            while (input->deliverConstant(0.0F)) std::this_thread::sleep_for(64ms);
        });
        QTimer::singleShot(30s, [] { QCoreApplication::quit(); });
        QCoreApplication::exec();
        microphone.join();
        const auto end = std::chrono::steady_clock::time_point(std::chrono::steady_clock::duration(lastSpeech.load()));
        delay = std::chrono::duration<double>(posted - end).count();
        state.SetIterationTime(delay);
    }
    state.counters["delay_s"] = delay;
    state.counters["silence_duration_s"] = recognizer.silenceDuration();
}

}  // namespace

BENCHMARK(BM_RecognizerPath)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PocketSphinxDirect)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ModelLoad)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EndOfSpeechToNotification)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (utterance().empty()) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
