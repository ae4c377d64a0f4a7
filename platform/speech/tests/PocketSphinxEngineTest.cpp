#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "TestSpeech.h"
#include "platform/speech/PocketSphinxEngine.h"
#include "testsupport/LogCapture.h"

namespace {

using platform::PocketSphinxEngine;
using namespace std::chrono_literals;

// Everything a task reported, for a test thread to wait on.
struct Heard {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> partials;
    std::optional<std::string> final;
    std::optional<std::string> error;

    platform::SpeechRecognitionEngine::ResultHandler handler() {
        return [this](const std::optional<platform::RecognitionResult>& result,
                      const std::optional<platform::Error>& failure) {
            const std::lock_guard lock(mutex);
            if (result && result->isFinal) final = result->bestTranscription;
            else if (result) partials.push_back(result->bestTranscription);
            if (failure) error = failure->description();
            changed.notify_all();
        };
    }
    bool waitForEnd() {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, 60s, [this] { return final || error; });
    }
};

void feed(platform::AudioBufferRecognitionRequest& request, const std::vector<float>& samples) {
    for (std::size_t at = 0; at < samples.size(); at += 1024) {
        const std::size_t frames = std::min<std::size_t>(1024, samples.size() - at);
        request.append(platform::AudioBuffer{{}, frames, samples.data() + at});
    }
}

std::shared_ptr<platform::AudioBufferRecognitionRequest> newRequest() {
    auto request = std::make_shared<platform::AudioBufferRecognitionRequest>();
    request->setShouldReportPartialResults(true);
    return request;
}

TEST(PocketSphinxEngine, MissingModelFilesMeanNoRecognizer) {
    testsupport::LogCapture log;
    EXPECT_EQ(PocketSphinxEngine::create({"/nonexistent/model", 100ms}), nullptr);
    EXPECT_TRUE(log.contains("No speech model at /nonexistent/model/en-us"));
}

TEST(PocketSphinxEngine, DecodesAudioCapturedWhileTheModelLoaded) {
    const auto speech = speechtest::spokenSamples("what is the weather today", 0.5, 1.0);
    auto engine = PocketSphinxEngine::create({});
    ASSERT_NE(engine, nullptr);
    // The whole utterance arrives before the model is ready.
    auto request = newRequest();
    Heard heard;
    auto task = engine->recognitionTask(request, heard.handler());
    feed(*request, speech);
    request->endAudio();
    ASSERT_TRUE(heard.waitForEnd());
    EXPECT_EQ(heard.error, std::nullopt);
    EXPECT_EQ(heard.final, "what is the weather today");
    EXPECT_EQ(engine->waitForModel(0ms), PocketSphinxEngine::ModelState::Ready);
    EXPECT_EQ(task->waitForFinalResult(0ms)->bestTranscription, "what is the weather today");
}

TEST(PocketSphinxEngine, ReportsPartialsWhileAudioArrivesAndServesTasksInTurn) {
    const auto speech = speechtest::spokenSamples("what is the weather today", 0.5, 1.0);
    auto engine = PocketSphinxEngine::create({});
    ASSERT_EQ(engine->waitForModel(60s), PocketSphinxEngine::ModelState::Ready);

    // A task cancelled half-way gives way to the next one.
    auto cancelled = newRequest();
    Heard dropped;
    auto first = engine->recognitionTask(cancelled, dropped.handler());
    feed(*cancelled, std::vector<float>(speech.begin(), speech.begin() + static_cast<std::ptrdiff_t>(speech.size() / 2)));

    auto request = newRequest();
    Heard heard;
    auto second = engine->recognitionTask(request, heard.handler());
    first->cancel();
    // Fed in real-time-sized steps so that the decoder reports on the way.
    for (std::size_t at = 0; at < speech.size(); at += 1600) {
        const std::size_t frames = std::min<std::size_t>(1600, speech.size() - at);
        request->append(platform::AudioBuffer{{}, frames, speech.data() + at});
        std::this_thread::sleep_for(10ms);
    }
    request->endAudio();
    ASSERT_TRUE(heard.waitForEnd());
    EXPECT_EQ(heard.final, "what is the weather today");
    EXPECT_FALSE(heard.partials.empty());
    const std::lock_guard lock(dropped.mutex);
    EXPECT_FALSE(dropped.final);
}

TEST(PocketSphinxEngine, SilenceNoiseAndWrongRatesEndCleanly) {
    auto engine = PocketSphinxEngine::create({});
    ASSERT_NE(engine, nullptr);
    for (const auto& samples : {speechtest::silenceSamples(3.0), speechtest::noiseSamples(3.0, 0.8F)}) {
        auto request = newRequest();
        Heard heard;
        auto task = engine->recognitionTask(request, heard.handler());
        feed(*request, samples);
        request->endAudio();
        ASSERT_TRUE(heard.waitForEnd());
        EXPECT_EQ(heard.error, std::nullopt);
        EXPECT_TRUE(heard.final);
    }
    auto request = newRequest();
    Heard heard;
    auto task = engine->recognitionTask(request, heard.handler());
    const std::vector<float> samples(4410, 0.1F);
    request->append(platform::AudioBuffer{{44100, 1}, samples.size(), samples.data()});
    ASSERT_TRUE(heard.waitForEnd());
    EXPECT_EQ(heard.error, "The speech recogniser needs 16000 Hz audio, not 44100 Hz");
}

TEST(PocketSphinxEngine, DestroyingItWhileDecodingEndsItsThread) {
    auto engine = PocketSphinxEngine::create({});
    auto request = newRequest();
    Heard heard;
    auto task = engine->recognitionTask(request, heard.handler());
    feed(*request, speechtest::noiseSamples(1.0, 0.3F));
    engine.reset();  // joins; the task ends without a word
    EXPECT_FALSE(task->waitForFinalResult(0ms));
}

}  // namespace
