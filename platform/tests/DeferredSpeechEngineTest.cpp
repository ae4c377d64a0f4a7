#include "platform/DeferredSpeechEngine.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using platform::AudioBufferRecognitionRequest;
using platform::DeferredSpeechEngine;

class NoTask final : public platform::RecognitionTask {
public:
    void cancel() override {}
    std::optional<platform::RecognitionResult> waitForFinalResult(std::chrono::milliseconds) override {
        return std::nullopt;
    }
};

// Records the requests it was given.
class RecordingEngine final : public platform::SpeechRecognitionEngine {
public:
    std::shared_ptr<platform::RecognitionTask> recognitionTask(std::shared_ptr<AudioBufferRecognitionRequest> request,
                                                               ResultHandler) override {
        requests.push_back(std::move(request));
        return std::make_shared<NoTask>();
    }
    std::vector<std::shared_ptr<AudioBufferRecognitionRequest>> requests;
};

TEST(DeferredSpeechEngine, MakesTheRecogniserAtTheFirstTaskOnlyAndPassesEveryRequestOn) {
    auto engine = std::make_shared<RecordingEngine>();
    int made = 0;
    DeferredSpeechEngine deferred([&] {
        ++made;
        return engine;
    });
    EXPECT_FALSE(deferred.isMade());
    EXPECT_EQ(made, 0);

    const auto first = std::make_shared<AudioBufferRecognitionRequest>();
    const auto second = std::make_shared<AudioBufferRecognitionRequest>();
    EXPECT_NE(deferred.recognitionTask(first, {}), nullptr);
    EXPECT_NE(deferred.recognitionTask(second, {}), nullptr);
    EXPECT_EQ(made, 1);
    EXPECT_TRUE(deferred.isMade());
    ASSERT_EQ(engine->requests.size(), 2u);
    EXPECT_EQ(engine->requests[0], first);
    EXPECT_EQ(engine->requests[1], second);
}

TEST(DeferredSpeechEngine, WithoutAModelThereIsNoTaskAndTheModelIsNotLookedForAgain) {
    int made = 0;
    DeferredSpeechEngine deferred([&] {
        ++made;
        return std::shared_ptr<platform::SpeechRecognitionEngine>();
    });
    EXPECT_EQ(deferred.recognitionTask(std::make_shared<AudioBufferRecognitionRequest>(), {}), nullptr);
    EXPECT_EQ(deferred.recognitionTask(std::make_shared<AudioBufferRecognitionRequest>(), {}), nullptr);
    EXPECT_EQ(made, 1);
}

}  // namespace
