// The panel's voice input over the program's recogniser, played by the
// scripted microphone and recogniser.
#include <gtest/gtest.h>

#include "panel/RecognizerSpeechInput.h"
#include "platform/fake/InMemoryUserDefaults.h"
#include "platform/fake/ManualMainLoop.h"
#include "platform/fake/ScriptedAudioInput.h"
#include "platform/fake/ScriptedSpeechRecognitionEngine.h"

namespace panel {
namespace {

using namespace std::chrono_literals;

struct Voice {
    Voice(std::shared_ptr<platform::ManualMainLoop> loop, platform::NotificationCenter& center) {
        auto audio = std::make_unique<platform::ScriptedAudioInput>();
        microphone = audio.get();
        engine = std::make_shared<platform::ScriptedSpeechRecognitionEngine>();
        input = std::make_unique<RecognizerSpeechInput>(
            std::make_unique<desktop::SpeechRecognizer>(desktop::SpeechRecognizer::Services{
                std::move(audio), engine, loop, &center, std::make_shared<platform::InMemoryUserDefaults>(), nullptr}),
            center);
        input->setSilenceHandler([this](const platform::Notification& n) {
            const auto* text = n.value<std::string>("transcript");
            heard.push_back(text ? *text : "<none>");
        });
        input->setAudioLevelHandler([this](float level) { levels.push_back(level); });
    }

    platform::ScriptedAudioInput* microphone = nullptr;
    std::shared_ptr<platform::ScriptedSpeechRecognitionEngine> engine;
    std::unique_ptr<RecognizerSpeechInput> input;
    std::vector<std::string> heard;
    std::vector<float> levels;
};

TEST(RecognizerSpeechInput, EachInputHearsTheSilenceOfItsOwnRecogniserOnly) {
    auto loop = std::make_shared<platform::ManualMainLoop>();
    platform::NotificationCenter center;
    Voice first(loop, center);
    Voice second(loop, center);
    ASSERT_EQ(first.input->startRecording(true), std::nullopt);
    ASSERT_EQ(second.input->startRecording(true), std::nullopt);

    first.engine->lastTask()->emitPartial("hello there");
    loop->runPending();
    EXPECT_EQ(first.input->transcript(), "Hello there");
    first.microphone->deliverConstant(0.5F);
    first.microphone->deliverConstant(0.0F);
    loop->runPending();
    EXPECT_EQ(first.levels, (std::vector<float>{1.0F, 0.0F}));
    EXPECT_FLOAT_EQ(first.input->audioLevel(), 0.0F);
    loop->advance(2s);

    EXPECT_EQ(first.heard, std::vector<std::string>{"Hello there"});
    EXPECT_TRUE(second.heard.empty());

    // Without a handler nothing is heard any more.
    first.input->setSilenceHandler(nullptr);
    EXPECT_EQ(center.observerCount(), 1u);
}

TEST(RecognizerSpeechInput, AFailedStartSaysWhy) {
    auto loop = std::make_shared<platform::ManualMainLoop>();
    platform::NotificationCenter center;
    Voice voice(loop, center);
    voice.microphone->failNextStart(platform::Error("PulseAudio", -1, "No PulseAudio server is running"));
    EXPECT_EQ(voice.input->startRecording(false), "No PulseAudio server is running");
}

}  // namespace
}  // namespace panel
