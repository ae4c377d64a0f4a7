#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "desktop/SpeechRecognizer.h"
#include "platform/NotificationCenter.h"
#include "platform/fake/InMemoryUserDefaults.h"
#include "platform/fake/ManualMainLoop.h"
#include "platform/fake/ScriptedAudioInput.h"
#include "platform/fake/ScriptedSpeechRecognitionEngine.h"
#include "testsupport/LogCapture.h"

namespace {

using desktop::SpeechRecognizer;
using namespace std::chrono_literals;

// A buffer whose level is exactly `level`. Levels are 5 times the mean
// absolute sample, so most decimal levels need two neighbouring samples.
std::vector<float> samplesForLevel(float level) {
    const auto levelOf = [](const std::vector<float>& samples) {
        return SpeechRecognizer::levelOf({{}, samples.size(), samples.data()});
    };
    float sample = std::nextafter(level / 5.0F, 0.0F);
    for (int step = 0; step < 8; ++step, sample = std::nextafter(sample, 1.0F)) {
        for (const auto& samples : {std::vector<float>{sample}, std::vector<float>{sample, std::nextafter(sample, 1.0F)}})
            if (levelOf(samples) == level) return samples;
    }
    ADD_FAILURE() << "no buffer has the level " << level;
    return {level / 5.0F};
}

class SpeechRecognizerTest : public ::testing::Test {
protected:
    void SetUp() override { make(true); }

    void make(bool withRecognizer) {
        recognizer.reset();
        auto audio = std::make_unique<platform::ScriptedAudioInput>();
        input = audio.get();
        engine = withRecognizer ? std::make_shared<platform::ScriptedSpeechRecognitionEngine>() : nullptr;
        recognizer = std::make_unique<SpeechRecognizer>(
            SpeechRecognizer::Services{std::move(audio), engine, loop, &center, defaults, nullptr});
        silence = center.addObserver(desktop::kSpeechSilenceNotification, [this](const platform::Notification& n) {
            const auto* text = n.value<std::string>("transcript");
            const auto* sender = n.value<const SpeechRecognizer*>("recognizer");
            posted.push_back(text ? *text : "<none>");
            EXPECT_TRUE(sender && *sender == recognizer.get());
        });
    }

    // One buffer at `level`, handed to the main thread.
    void hear(float level) {
        input->deliver(samplesForLevel(level));
        loop->runPending();
    }
    void partial(const std::string& text) {
        engine->lastTask()->emitPartial(text);
        loop->runPending();
    }
    std::vector<std::string> lines() const { return log.messages(); }
    int count(const std::string& line) const {
        int n = 0;
        for (const auto& l : lines()) n += l == line ? 1 : 0;
        return n;
    }

    testsupport::LogCapture log;
    std::shared_ptr<platform::ManualMainLoop> loop = std::make_shared<platform::ManualMainLoop>();
    std::shared_ptr<platform::InMemoryUserDefaults> defaults = std::make_shared<platform::InMemoryUserDefaults>();
    platform::NotificationCenter center;
    platform::ScriptedAudioInput* input = nullptr;
    std::shared_ptr<platform::ScriptedSpeechRecognitionEngine> engine;
    std::unique_ptr<SpeechRecognizer> recognizer;
    platform::ObserverToken silence;
    std::vector<std::string> posted;
};

TEST_F(SpeechRecognizerTest, StartsWithATapOf1024FramesAndPartialResults) {
    EXPECT_EQ(recognizer->transcript(), "");
    EXPECT_EQ(recognizer->audioLevel(), 0.0F);
    EXPECT_FALSE(recognizer->shouldAutoSubmit());

    ASSERT_TRUE(recognizer->startRecording(true));
    EXPECT_TRUE(recognizer->isRecording());
    EXPECT_TRUE(recognizer->shouldAutoSubmit());
    EXPECT_FALSE(recognizer->startError());
    EXPECT_EQ(input->lastTapBufferSize(), 1024u);
    ASSERT_EQ(engine->taskCount(), 1u);
    EXPECT_TRUE(engine->lastTask()->request()->shouldReportPartialResults());
    EXPECT_EQ(lines(), std::vector<std::string>{"🎙️ Started recording with autoSubmit: true"});

    // The tap feeds the request; partial results become the transcript,
    // written as people write.
    input->deliver(std::vector<float>(1024, 0.0F));
    std::vector<float> taken;
    double rate = 0;
    EXPECT_EQ(engine->lastTask()->request()->take(taken, rate, 0ms),
              platform::AudioBufferRecognitionRequest::Take::Audio);
    EXPECT_EQ(taken.size(), 1024u);
    partial("what is");
    EXPECT_EQ(recognizer->transcript(), "What is");
}

TEST_F(SpeechRecognizerTest, LevelIsFiveTimesTheMeanAbsoluteSampleOfChannelZeroCapped) {
    recognizer->startRecording(true);
    // Channel 0 only: the second channel's loud samples do not count.
    const float stereo[] = {0.05F, 0.9F, -0.05F, -0.9F};
    EXPECT_FLOAT_EQ(SpeechRecognizer::levelOf({{16000, 2}, 2, stereo}), 0.25F);

    hear(0.25F);
    EXPECT_EQ(recognizer->audioLevel(), 0.25F);
    EXPECT_TRUE(log.contains("🎤 Detected audio above threshold: 0.25"));

    input->deliverConstant(0.5F);  // 2.5 before the cap
    loop->runPending();
    EXPECT_EQ(recognizer->audioLevel(), 1.0F);
    EXPECT_EQ(lines().back(), "🎤 Detected audio above threshold: 1.0");

    // An empty buffer is silence, not NaN; one without float data changes
    // nothing.
    input->deliver({});
    loop->runPending();
    EXPECT_EQ(recognizer->audioLevel(), 0.0F);
    input->deliverConstant(0.5F);
    loop->runPending();
    input->deliverWithoutFloatData(1024);
    loop->runPending();
    EXPECT_EQ(recognizer->audioLevel(), 1.0F);
    const float nan = std::nanf("");
    EXPECT_EQ(SpeechRecognizer::levelOf({{}, 1, &nan}), 0.0F);
}

TEST_F(SpeechRecognizerTest, ExactlyTheThresholdIsSilence) {
    recognizer->startRecording(true);
    hear(0.1F);
    EXPECT_EQ(recognizer->audioLevel(), 0.1F);
    EXPECT_EQ(lines().back(), "🤫 Starting silence timer...");
    EXPECT_FALSE(log.contains("🎤"));
    EXPECT_EQ(loop->timerCount(), 1u);
}

TEST_F(SpeechRecognizerTest, SilenceAfterSpeechStopsAndPostsTheTranscriptAfterTheCountdown) {
    recognizer->startRecording(true);
    hear(0.5F);
    partial("what is the weather today");
    hear(0.05F);
    loop->advance(1999ms);
    EXPECT_TRUE(posted.empty());
    EXPECT_TRUE(recognizer->isRecording());

    loop->advance(1ms);
    EXPECT_EQ(posted, std::vector<std::string>{"What is the weather today"});
    EXPECT_FALSE(recognizer->isRecording());
    EXPECT_EQ(input->stopCount(), 1);
    EXPECT_FALSE(input->hasTap());
    EXPECT_EQ(recognizer->audioLevel(), 0.0F);
    const auto all = lines();
    const std::vector<std::string> tail(all.end() - 4, all.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"🤫 Starting silence timer...", "⏰ Silence timer triggered",
                                              "📝 Transcript ready: \"What is the weather today\"",
                                              "🛑 Stopping recording"}));
}

TEST_F(SpeechRecognizerTest, SpeechRestartsAFullCountdown) {
    recognizer->startRecording(true);
    partial("hello");
    hear(0.05F);
    loop->advance(1500ms);
    hear(0.5F);
    EXPECT_EQ(loop->timerCount(), 0u);
    hear(0.05F);
    loop->advance(1999ms);
    EXPECT_TRUE(posted.empty());
    loop->advance(1ms);
    EXPECT_EQ(posted, std::vector<std::string>{"Hello"});
}

TEST_F(SpeechRecognizerTest, SilenceWithoutATranscriptSpendsTheTimerUntilSpeech) {
    // Total silence from the start arms the countdown at once.
    recognizer->startRecording(true);
    hear(0.0F);
    loop->advance(2000ms);
    EXPECT_EQ(lines().back(), "⏰ Silence timer triggered");
    EXPECT_TRUE(posted.empty());
    EXPECT_TRUE(recognizer->isRecording());

    // The spent timer blocks a new countdown...
    hear(0.0F);
    loop->advance(10s);
    EXPECT_EQ(count("🤫 Starting silence timer..."), 1);
    // ...until speech clears it.
    hear(0.5F);
    partial("play music");
    hear(0.0F);
    EXPECT_EQ(count("🤫 Starting silence timer..."), 2);
    loop->advance(2000ms);
    EXPECT_EQ(posted, std::vector<std::string>{"Play music"});
}

TEST_F(SpeechRecognizerTest, WordsTheDecoderGivesAfterTheSilenceEndedAreSentThen) {
    // The decoder is behind the microphone (its model still loading): the
    // speech and the silence after it are heard before any word.
    recognizer->startRecording(true);
    hear(0.5F);
    hear(0.05F);
    loop->advance(2000ms);
    EXPECT_EQ(lines().back(), "⏰ Silence timer triggered");
    EXPECT_TRUE(posted.empty());
    ASSERT_TRUE(recognizer->isRecording());

    // More silence starts no second countdown; the words are sent as they come.
    hear(0.05F);
    loop->advance(5s);
    EXPECT_EQ(count("🤫 Starting silence timer..."), 1);
    partial("what is the weather today");
    loop->runPending();
    EXPECT_EQ(posted, std::vector<std::string>{"What is the weather today"});
    EXPECT_FALSE(recognizer->isRecording());

    // Speaking again before the words come restarts the plain countdown.
    posted.clear();
    recognizer->startRecording(true);
    hear(0.5F);
    hear(0.05F);
    loop->advance(2000ms);
    hear(0.5F);
    partial("still talking");
    EXPECT_TRUE(posted.empty()) << "no silence since the last speech";
    hear(0.05F);
    loop->advance(2000ms);
    EXPECT_EQ(posted, std::vector<std::string>{"Still talking"});
}

TEST_F(SpeechRecognizerTest, AutoSubmitOffPublishesLevelsAndNeverCountsDown) {
    recognizer->startRecording(false);
    EXPECT_EQ(lines().back(), "🎙️ Started recording with autoSubmit: false");
    partial("note");
    hear(0.5F);
    hear(0.0F);
    hear(0.25F);
    EXPECT_EQ(recognizer->audioLevel(), 0.25F);
    EXPECT_EQ(loop->timerCount(), 0u);
    loop->advance(60s);
    EXPECT_TRUE(posted.empty());
    EXPECT_FALSE(log.contains("🤫"));
    EXPECT_FALSE(log.contains("🎤"));
}

class SilenceDurationTest : public SpeechRecognizerTest, public ::testing::WithParamInterface<std::pair<double, int>> {};

TEST_P(SilenceDurationTest, CountdownLastsTheStoredSecondsOrTwo) {
    const auto [stored, milliseconds] = GetParam();
    if (!std::isnan(stored)) defaults->setDouble("silenceDuration", stored);
    recognizer->startRecording(true);
    partial("yes");
    hear(0.0F);
    loop->advance(std::chrono::milliseconds(milliseconds - 1));
    EXPECT_TRUE(posted.empty());
    loop->advance(1ms);
    EXPECT_EQ(posted, std::vector<std::string>{"Yes"});
}

INSTANTIATE_TEST_SUITE_P(Values, SilenceDurationTest,
                         ::testing::Values(std::pair{std::nan(""), 2000}, std::pair{0.0, 2000}, std::pair{-1.0, 2000},
                                           std::pair{3.5, 3500}, std::pair{1.0, 1000}));

TEST_F(SpeechRecognizerTest, StopLetsTheDecoderFinishSoTheTranscriptHoldsTheLastWords) {
    engine->setFinalTranscriptOnEnd("what is the weather today");
    recognizer->startRecording(false);
    for (int i = 0; i < 20; ++i) input->deliverConstant(0.01F);
    partial("what is the");
    recognizer->stopRecording();
    EXPECT_EQ(recognizer->transcript(), "What is the weather today");
    EXPECT_EQ(engine->lastTask()->framesRead(), 20u * 1024u);

    // The final result also arrives through the main loop: as a final result
    // it stops again, which only prints the line again.
    loop->runPending();
    EXPECT_EQ(count("🛑 Stopping recording"), 2);
    EXPECT_EQ(recognizer->transcript(), "What is the weather today");
}

TEST_F(SpeechRecognizerTest, FinalResultOrErrorEndsTheRecording) {
    recognizer->startRecording(false);
    engine->lastTask()->emitFinal("done");
    loop->runPending();
    EXPECT_FALSE(recognizer->isRecording());
    EXPECT_EQ(recognizer->transcript(), "Done");

    recognizer->startRecording(false);
    partial("half");
    engine->lastTask()->emitError(platform::Error("test", 1, "decoder broke"));
    loop->runPending();
    EXPECT_FALSE(recognizer->isRecording());
    EXPECT_EQ(recognizer->transcript(), "Half");
    EXPECT_EQ(lines().back(), "🛑 Stopping recording");
    EXPECT_FALSE(log.contains("decoder broke"));
}

TEST_F(SpeechRecognizerTest, StopWhileStoppedClearsTheLevel) {
    recognizer->stopRecording();
    EXPECT_EQ(lines(), std::vector<std::string>{"🛑 Stopping recording"});
    EXPECT_EQ(input->stopCount(), 0);

    recognizer->startRecording(true);
    hear(0.0F);
    recognizer->stopRecording();
    recognizer->stopRecording();
    EXPECT_EQ(recognizer->audioLevel(), 0.0F);
    EXPECT_EQ(loop->timerCount(), 0u);
    EXPECT_EQ(count("🛑 Stopping recording"), 3);
}

TEST_F(SpeechRecognizerTest, WithoutARecognizerRecordingRunsWithoutTranscription) {
    make(false);
    EXPECT_FALSE(recognizer->hasRecognizer());
    ASSERT_TRUE(recognizer->startRecording(true));
    hear(0.5F);
    EXPECT_EQ(recognizer->audioLevel(), 0.5F);
    hear(0.0F);
    loop->advance(2s);
    EXPECT_EQ(recognizer->transcript(), "");
    EXPECT_TRUE(posted.empty());
    recognizer->stopRecording();
}

TEST_F(SpeechRecognizerTest, FailedStartTearsDownWhatItStartedAndSaysWhy) {
    input->failNextStart(platform::Error("PulseAudio", 1, "Could not connect to the sound server: Connection refused"));
    EXPECT_FALSE(recognizer->startRecording(true));
    EXPECT_FALSE(recognizer->isRecording());
    ASSERT_TRUE(recognizer->startError());
    EXPECT_EQ(recognizer->startError()->description(), "Could not connect to the sound server: Connection refused");
    EXPECT_EQ(lines().back(), "❌ Audio engine failed to start: Could not connect to the sound server: Connection refused");
    EXPECT_FALSE(log.contains("🎙️"));
    EXPECT_FALSE(input->hasTap());
    EXPECT_FALSE(engine->lastTask()->emitPartial("late"));  // cancelled

    // A later start works and clears the error.
    EXPECT_TRUE(recognizer->startRecording(true));
    EXPECT_FALSE(recognizer->startError());
    EXPECT_EQ(input->installTapCount(), 2);
}

TEST_F(SpeechRecognizerTest, SecondStartStopsTheRunningCaptureFirst) {
    recognizer->startRecording(true);
    partial("first");
    const auto first = engine->lastTask();
    ASSERT_TRUE(recognizer->startRecording(false));
    EXPECT_EQ(input->stopCount(), 1);
    EXPECT_EQ(input->startCount(), 2);
    EXPECT_EQ(recognizer->transcript(), "");
    EXPECT_EQ(recognizer->generation(), 2u);
    EXPECT_FALSE(first->emitFinal("first words"));  // cancelled
    EXPECT_TRUE(recognizer->isRecording());
}

TEST_F(SpeechRecognizerTest, LateResultsAndLevelsOfAnEarlierRecordingAreDropped) {
    // Recording 1's final result is queued for the main thread when
    // recording 2 begins: it neither stops recording 2 nor overwrites it.
    recognizer->startRecording(true);
    engine->lastTask()->emitFinal("first");
    ASSERT_TRUE(recognizer->startRecording(true));
    partial("second");
    EXPECT_TRUE(recognizer->isRecording());
    EXPECT_EQ(recognizer->transcript(), "Second");

    // The same for an error.
    engine->lastTask()->emitError(platform::Error("test", 1, "late"));
    ASSERT_TRUE(recognizer->startRecording(true));
    partial("third");
    EXPECT_TRUE(recognizer->isRecording());
    EXPECT_EQ(recognizer->transcript(), "Third");

    // A level queued by recording 3 that runs after recording 4 started
    // neither shows nor arms a countdown.
    input->deliverConstant(0.0F);
    ASSERT_TRUE(recognizer->startRecording(true));
    loop->runPending();
    EXPECT_EQ(recognizer->audioLevel(), 0.0F);
    EXPECT_EQ(loop->timerCount(), 0u);

    // A level queued before a stop does not light the stopped waveform.
    input->deliverConstant(0.5F);
    recognizer->stopRecording();
    loop->runPending();
    EXPECT_EQ(recognizer->audioLevel(), 0.0F);
}

TEST_F(SpeechRecognizerTest, LostMicrophoneEndsTheRecordingAndKeepsTheWords) {
    recognizer->startRecording(true);
    partial("keep these");
    input->failWhileRunning(platform::Error("PulseAudio", 3, "Recording from the microphone ended: Connection terminated"));
    loop->runPending();
    EXPECT_FALSE(recognizer->isRecording());
    EXPECT_EQ(recognizer->transcript(), "Keep these");
    EXPECT_TRUE(log.contains("Audio input stopped: Recording from the microphone ended: Connection terminated"));
}

TEST_F(SpeechRecognizerTest, DestroyingItStopsTheMicrophoneAndCancelsTheTask) {
    recognizer->startRecording(true);
    const auto task = engine->lastTask();
    input->deliverConstant(0.5F);  // queued, runs after the destruction
    hear(0.0F);
    ASSERT_EQ(loop->timerCount(), 1u);
    recognizer.reset();
    EXPECT_FALSE(task->emitPartial("late"));
    EXPECT_EQ(loop->timerCount(), 0u);
    loop->runPending();
    loop->advance(5s);
}

TEST_F(SpeechRecognizerTest, PublishesChangesToObservers) {
    std::vector<SpeechRecognizer::Property> changes;
    recognizer->subscribe([&](SpeechRecognizer::Property p) { changes.push_back(p); });
    recognizer->startRecording(true);
    partial("a");
    hear(0.5F);
    using P = SpeechRecognizer::Property;
    EXPECT_EQ(changes, (std::vector<P>{P::ShouldAutoSubmit, P::Transcript, P::AudioLevel}));
}

TEST(SpeechRecognizerFormat, CapitalisesTheFirstLetterOnly) {
    EXPECT_EQ(SpeechRecognizer::formatTranscript("what is the weather today"), "What is the weather today");
    EXPECT_EQ(SpeechRecognizer::formatTranscript(""), "");
    EXPECT_EQ(SpeechRecognizer::formatTranscript("i think so"), "I think so");
    EXPECT_EQ(SpeechRecognizer::formatTranscript("3 apples"), "3 apples");
}

// Buffers from an audio thread and results from a decoding thread meet the
// main thread's stop and restart (run under ThreadSanitizer).
TEST_F(SpeechRecognizerTest, AudioAndRecognizerThreadsHandOverThroughTheMainLoop) {
    engine->setFinalTranscriptOnEnd("over");
    for (int round = 0; round < 20; ++round) {
        ASSERT_TRUE(recognizer->startRecording(round % 2 == 0));
        std::atomic<bool> done{false};
        std::thread audio([&] {
            for (int i = 0; i < 50; ++i) input->deliverConstant(i % 2 ? 0.5F : 0.0F, 256);
            done = true;
        });
        while (!done) loop->runPending();
        audio.join();
        recognizer->stopRecording();
        loop->runPending();
        EXPECT_EQ(recognizer->transcript(), "Over");
    }
}

}  // namespace
