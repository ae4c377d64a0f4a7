#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "TestSpeech.h"
#include "desktop/SpeechRecognizer.h"
#include "platform/NotificationCenter.h"
#include "platform/fake/InMemoryUserDefaults.h"
#include "platform/fake/ManualMainLoop.h"
#include "platform/speech/PocketSphinxEngine.h"
#include "platform/speech/PulseAudioInput.h"
#include "testsupport/LogCapture.h"

namespace {

using desktop::SpeechRecognizer;
using namespace std::chrono_literals;

// The real microphone (the private PulseAudio's pipe) and recogniser, with a
// manual main loop: real audio arrives on real threads, the silence countdown
// runs in virtual time.
class SpeechRecognizerAudioTest : public ::testing::Test {
protected:
    std::unique_ptr<SpeechRecognizer> make(platform::PulseAudioInput::Options options = {}) {
        auto recognizer = std::make_unique<SpeechRecognizer>(SpeechRecognizer::Services{
            std::make_unique<platform::PulseAudioInput>(std::move(options)), platform::PocketSphinxEngine::shared(),
            loop, &center, defaults, nullptr});
        silence = center.addObserver(desktop::kSpeechSilenceNotification, [this](const platform::Notification& n) {
            posted.push_back(*n.value<std::string>("transcript"));
        });
        return recognizer;
    }

    // Runs the main loop's posted work until `done` holds (30 s at most).
    template <class Done>
    bool pumpUntil(Done done) {
        const auto deadline = std::chrono::steady_clock::now() + 30s;
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            if (loop->runPending() == 0) std::this_thread::sleep_for(5ms);
        }
        return true;
    }

    // Whether the last level line says a countdown started.
    bool countingDown() const {
        const auto lines = log.messages();
        const auto last = std::find_if(lines.rbegin(), lines.rend(), [](const std::string& line) {
            return line.rfind("🎤", 0) == 0 || line.rfind("🤫", 0) == 0;
        });
        return last != lines.rend() && last->rfind("🤫", 0) == 0;
    }

    testsupport::LogCapture log;
    std::shared_ptr<platform::ManualMainLoop> loop = std::make_shared<platform::ManualMainLoop>();
    std::shared_ptr<platform::InMemoryUserDefaults> defaults = std::make_shared<platform::InMemoryUserDefaults>();
    platform::NotificationCenter center;
    platform::ObserverToken silence;
    std::vector<std::string> posted;
};

TEST_F(SpeechRecognizerAudioTest, DictationIsPostedAfterTheConfiguredSilence) {
    defaults->setDouble("silenceDuration", 1.5);
    auto recognizer = make();
    ASSERT_TRUE(recognizer->hasRecognizer());
    ASSERT_TRUE(recognizer->startRecording(true)) << recognizer->startError()->description();
    speechtest::speakIntoMicrophone(speechtest::spokenSamples("what is the weather today", 0.5, 1.0));

    ASSERT_TRUE(pumpUntil([&] { return recognizer->transcript() == "What is the weather today" && countingDown(); }))
        << "transcript: " << recognizer->transcript();
    loop->advance(1499ms);
    EXPECT_TRUE(posted.empty());
    loop->advance(1ms);
    EXPECT_EQ(posted, std::vector<std::string>{"What is the weather today"});
    EXPECT_FALSE(recognizer->isRecording());
}

TEST_F(SpeechRecognizerAudioTest, StoppingByHandKeepsTheLastWords) {
    auto recognizer = make();
    ASSERT_TRUE(recognizer->startRecording(false));
    // No trailing silence: the last word ends with the recording.
    speechtest::speakIntoMicrophone(speechtest::spokenSamples("what is the weather today", 0.3, 0.0));
    ASSERT_TRUE(pumpUntil([&] { return !recognizer->transcript().empty(); }));
    recognizer->stopRecording();
    // Stopping waits a bounded time for the decoder (the unit tests pin that
    // bound down); on a loaded machine the final result may come after it,
    // and it still completes the transcript.
    EXPECT_TRUE(pumpUntil([&] { return recognizer->transcript() == "What is the weather today"; }))
        << "transcript: " << recognizer->transcript();
    loop->runPending();
    EXPECT_TRUE(posted.empty());
}

TEST_F(SpeechRecognizerAudioTest, NoSoundServerIsAFailedStart) {
    auto recognizer = make({"unix:/nonexistent/quillary/native", "", 5000ms});
    EXPECT_FALSE(recognizer->startRecording(true));
    ASSERT_TRUE(recognizer->startError());
    EXPECT_EQ(recognizer->startError()->description(), "Could not connect to the sound server: Connection refused");
    EXPECT_TRUE(log.contains("❌ Audio engine failed to start: Could not connect to the sound server"));
    EXPECT_FALSE(recognizer->isRecording());
}

}  // namespace
