#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/AudioBufferRecognitionRequest.h"
#include "platform/BasicRecognitionTask.h"

namespace {

using platform::AudioBuffer;
using platform::AudioBufferRecognitionRequest;
using Take = AudioBufferRecognitionRequest::Take;
using namespace std::chrono_literals;

TEST(AudioBufferRecognitionRequest, KeepsChannelZeroUntilTakenThenEnds) {
    AudioBufferRecognitionRequest request;
    const float stereo[] = {0.1F, 9.0F, 0.2F, 9.0F};
    request.append(AudioBuffer{{48000, 2}, 2, stereo});
    request.append(AudioBuffer{{48000, 2}, 2, nullptr});  // no float data: nothing
    std::vector<float> samples{7.0F};
    double rate = 0;
    ASSERT_EQ(request.take(samples, rate, 0ms), Take::Audio);
    EXPECT_EQ(samples, (std::vector<float>{0.1F, 0.2F}));
    EXPECT_EQ(rate, 48000.0);
    EXPECT_EQ(request.take(samples, rate, 0ms), Take::TimedOut);

    const float more[] = {0.3F};
    request.append(AudioBuffer{{}, 1, more});
    request.endAudio();
    request.append(AudioBuffer{{}, 1, more});  // after the end: ignored
    // Audio captured before the end still comes first.
    ASSERT_EQ(request.take(samples, rate, 0ms), Take::Audio);
    EXPECT_EQ(samples, std::vector<float>{0.3F});
    EXPECT_EQ(request.take(samples, rate, 0ms), Take::Ended);
    EXPECT_TRUE(request.audioEnded());
}

TEST(AudioBufferRecognitionRequest, HoldsABoundedBacklogDroppingTheOldest) {
    // Ten minutes of 1024-frame buffers that nobody reads.
    AudioBufferRecognitionRequest request(16000);
    std::vector<float> buffer(1024);
    for (std::size_t i = 0; i < 10 * 60 * 16000 / 1024; ++i) {
        buffer.assign(1024, static_cast<float>(i));
        request.append(AudioBuffer{{}, buffer.size(), buffer.data()});
    }
    std::vector<float> samples;
    double rate = 0;
    ASSERT_EQ(request.take(samples, rate, 0ms), Take::Audio);
    EXPECT_EQ(samples.size(), 16000u);
    EXPECT_EQ(samples.back(), buffer.back());  // the newest kept
    EXPECT_EQ(request.droppedFrames(), 9375u * 1024u - 16000u);
}

TEST(AudioBufferRecognitionRequest, InterruptWakesAWaitingReader) {
    AudioBufferRecognitionRequest request;
    std::atomic<int> result{-1};
    std::thread reader([&] {
        std::vector<float> samples;
        double rate = 0;
        result = static_cast<int>(request.take(samples, rate, 60s));
    });
    request.interrupt();
    reader.join();
    EXPECT_EQ(result, static_cast<int>(Take::Interrupted));
}

TEST(BasicRecognitionTask, ReportsUntilTheFinalResultAndWaitsForIt) {
    auto request = std::make_shared<AudioBufferRecognitionRequest>();
    std::vector<std::string> heard;
    platform::BasicRecognitionTask task(request, [&](const auto& result, const auto& error) {
        heard.push_back(result ? result->bestTranscription : "error:" + error->description());
    });
    EXPECT_FALSE(task.waitForFinalResult(0ms));
    EXPECT_TRUE(task.report(platform::RecognitionResult{"what", false}, std::nullopt));

    std::thread decoder([&] { task.report(platform::RecognitionResult{"what now", true}, std::nullopt); });
    const auto final = task.waitForFinalResult(60s);
    decoder.join();
    ASSERT_TRUE(final);
    EXPECT_EQ(final->bestTranscription, "what now");
    // Nothing after the end.
    EXPECT_FALSE(task.report(std::nullopt, platform::Error("test", 1, "late")));
    EXPECT_EQ(heard, (std::vector<std::string>{"what", "what now"}));
}

TEST(BasicRecognitionTask, CancelWaitsForAHandlerCallInProgressAndEndsTheTask) {
    auto request = std::make_shared<AudioBufferRecognitionRequest>();
    std::atomic<bool> inHandler{false};
    std::atomic<bool> release{false};
    std::atomic<int> calls{0};
    platform::BasicRecognitionTask task(request, [&](const auto&, const auto&) {
        ++calls;
        inHandler = true;
        while (!release) std::this_thread::yield();
    });
    std::thread decoder([&] { task.report(platform::RecognitionResult{"a", false}, std::nullopt); });
    while (!inHandler) std::this_thread::yield();
    std::atomic<bool> cancelled{false};
    std::thread canceller([&] {
        task.cancel();
        cancelled = true;
    });
    std::this_thread::sleep_for(20ms);  // gives cancel the chance to return too early
    EXPECT_FALSE(cancelled);
    release = true;
    canceller.join();
    decoder.join();
    EXPECT_FALSE(task.report(platform::RecognitionResult{"b", true}, std::nullopt));
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(task.waitForFinalResult(60s));  // cancelled: at once
    std::vector<float> samples;
    double rate = 0;
    EXPECT_EQ(request->take(samples, rate, 0ms), Take::Interrupted);
}

}  // namespace
