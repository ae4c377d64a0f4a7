// Voice input in the panel: the authorisation table and its alert, starting
// (and failing to start), stopping by the button, and the silence path.
#include <gtest/gtest.h>

#include <thread>

#include "fakes/PanelHarness.h"
#include "testsupport/LogCapture.h"

namespace panel {
namespace {

using namespace std::chrono_literals;

class PanelVoice : public ::testing::Test {
protected:
    void SetUp() override { h.settings().setOpenaiKey("sk"); }

    std::unique_ptr<PanelModel> shown(bool voice = false, bool chat = false) {
        auto panel = h.make(voice, chat);
        panel->handleAppear();
        h.loop->advance(100ms);
        return panel;
    }

    testing::PanelHarness h;
    testsupport::LogCapture log;
};

TEST_F(PanelVoice, AnAuthorisedMicrophoneStartsAtOnceWithTheGivenFlag) {
    const auto panel = shown();
    panel->toggleVoiceInput();
    EXPECT_TRUE(log.contains("Starting microphone request flow"));
    EXPECT_TRUE(log.contains("✅ Microphone already authorized"));
    EXPECT_EQ(h.speech->starts, std::vector<bool>{false});
    EXPECT_TRUE(panel->isRecording());
}

TEST_F(PanelVoice, AFirstRequestStartsOnTheMainLoopWithTheFlagOfTheRequestThatAsked) {
    h.voice->status = MicrophoneStatus::notDetermined;
    h.voice->holdRequests = true;
    const auto panel = shown();
    panel->requestMicrophoneAndRecord(true);
    EXPECT_TRUE(log.contains("Requesting microphone access for the first time"));
    ASSERT_EQ(h.voice->heldMicrophoneRequests.size(), 2u);  // appear's own, then this one

    // The answer comes on a thread of the system's choosing.
    std::thread([&] { h.voice->heldMicrophoneRequests[1](true); }).join();
    EXPECT_FALSE(panel->isRecording());
    h.loop->runPending();
    EXPECT_TRUE(log.contains("✅ Microphone access granted"));
    EXPECT_EQ(h.speech->starts, std::vector<bool>{true});
    EXPECT_TRUE(panel->isRecording());
}

TEST_F(PanelVoice, AGrantThatArrivesAfterThePanelHidOrWentOpensNoMicrophone) {
    h.voice->status = MicrophoneStatus::notDetermined;
    h.voice->holdRequests = true;
    auto panel = shown();
    panel->requestMicrophoneAndRecord(false);
    panel->requestMicrophoneAndRecord(false);
    panel->handleDisappear();
    h.voice->heldMicrophoneRequests[1](true);
    h.loop->runPending();
    EXPECT_TRUE(h.speech->starts.empty());
    EXPECT_FALSE(panel->isRecording());

    panel.reset();
    h.voice->heldMicrophoneRequests[2](true);
    h.loop->runPending();  // nothing left to start, nothing touched
}

TEST_F(PanelVoice, ARefusalShowsTheAlertOnALaterTurnEveryTime) {
    h.voice->status = MicrophoneStatus::notDetermined;
    h.voice->grantMicrophone = false;
    h.alerts->answer = GlobalShortcuts::Alert::secondButtonReturn;  // Cancel
    const auto panel = shown();
    panel->toggleVoiceInput();
    EXPECT_TRUE(h.alerts->alerts.empty());
    h.loop->runPending();  // the answer's hop to the main loop, then the alert
    EXPECT_TRUE(log.contains("❌ Microphone access denied"));
    ASSERT_EQ(h.alerts->alerts.size(), 1u);
    EXPECT_EQ(h.voice->settingsOpened, 0);

    for (const auto status : {MicrophoneStatus::denied, MicrophoneStatus::restricted}) {
        h.voice->status = status;
        panel->toggleVoiceInput();
        EXPECT_TRUE(log.contains("Microphone access previously denied, showing alert"));
        h.loop->runPending();
    }
    ASSERT_EQ(h.alerts->alerts.size(), 3u);
    const auto& alert = h.alerts->alerts.back();
    EXPECT_EQ(alert.title, "Microphone Access Required");
    EXPECT_EQ(alert.message, "Please check your microphone in your desktop's Sound settings to use voice features.");
    EXPECT_EQ(alert.buttonTitles, (std::vector<std::string>{"Open Settings", "Cancel"}));
    EXPECT_TRUE(h.speech->starts.empty());
    EXPECT_FALSE(panel->isRecording());

    h.alerts->answer = GlobalShortcuts::Alert::firstButtonReturn;
    panel->toggleVoiceInput();
    h.loop->runPending();
    EXPECT_EQ(h.voice->settingsOpened, 1);
}

TEST_F(PanelVoice, AnAlertThatOutlivesItsPanelStillOpensTheSettings) {
    h.voice->status = MicrophoneStatus::denied;
    auto panel = shown();
    panel->toggleVoiceInput();
    h.alerts->whileShown = [&] { panel.reset(); };
    h.loop->runPending();
    EXPECT_EQ(h.voice->settingsOpened, 1);
}

TEST_F(PanelVoice, ARecordingThatCannotStartIsNotShownAsRecording) {
    const auto panel = shown();
    h.speech->startFailure = "No PulseAudio server is running";
    panel->toggleVoiceInput();
    EXPECT_FALSE(panel->isRecording());
    EXPECT_EQ(panel->errorMessage(), "Voice input could not start: No PulseAudio server is running");
}

TEST_F(PanelVoice, TheButtonStopsTakesTheTranscriptAndSubmitsAsVoiceInput) {
    const auto panel = shown(false, true);
    panel->toggleVoiceInput();
    h.speech->transcriptText = "what is the weather today";
    panel->toggleVoiceInput();
    EXPECT_TRUE(log.contains("Stopping recording"));
    EXPECT_EQ(h.speech->stops, 1);
    EXPECT_FALSE(panel->isRecording());
    ASSERT_EQ(panel->messages().size(), 1u);
    EXPECT_EQ(panel->messages()[0].content, "what is the weather today");
    EXPECT_EQ(std::get<bool>(h.lastEvent("chat_message_sent")->properties.at("is_voice_input")), true);
    h.finishRequests();
    EXPECT_EQ(h.script->calls().size(), 1u);

    // Nothing heard: the empty text is not sent.
    panel->toggleVoiceInput();
    panel->toggleVoiceInput();
    EXPECT_EQ(panel->text(), "");
    h.finishRequests();
    EXPECT_EQ(h.script->calls().size(), 1u);
}

TEST_F(PanelVoice, SilenceSubmitsInOneShotAndInAVoiceChatButOnlyFillsThePromptInAClickedChat) {
    struct Case {
        bool voiceStart;
        bool chat;
        bool submits;
    };
    for (const Case c : {Case{true, false, true}, Case{false, false, true}, Case{true, true, true},
                         Case{false, true, false}}) {
        const auto panel = shown(c.voiceStart, c.chat);
        if (!c.voiceStart) panel->toggleVoiceInput();
        h.loop->advance(300ms);
        ASSERT_TRUE(panel->isRecording());
        const auto before = h.script->calls().size();
        h.speech->detectSilence("hello there");
        EXPECT_TRUE(log.contains("📝 Received transcript: \"hello there\""));
        EXPECT_EQ(panel->text(), "hello there");
        h.finishRequests();
        EXPECT_EQ(h.script->calls().size(), before + (c.submits ? 1 : 0)) << c.voiceStart << c.chat;
        EXPECT_FALSE(panel->isRecording());
    }
}

TEST_F(PanelVoice, SilenceIsIgnoredWhenNotRecordingAndWithoutATranscriptEndsTheRecording) {
    const auto panel = shown();
    h.speech->detectSilence("not recording");
    EXPECT_EQ(panel->text(), "");

    panel->toggleVoiceInput();
    h.speech->silenceHandler(platform::Notification{"speechRecognizerDidDetectSilence", {{"transcript", 42}}});
    EXPECT_FALSE(panel->isRecording());
    EXPECT_EQ(panel->text(), "");
    EXPECT_EQ(h.executor->pending(), 0u);
}

TEST_F(PanelVoice, LevelsReachTheViewWhileRecording) {
    const auto panel = shown();
    std::vector<PanelModel::Change> changes;
    panel->subscribe([&](PanelModel::Change c) { changes.push_back(c); });
    h.speech->hearLevel(0.25f);
    EXPECT_EQ(changes, std::vector<PanelModel::Change>{PanelModel::Change::audioLevel});
    EXPECT_FLOAT_EQ(panel->audioLevel(), 0.25f);
}

}  // namespace
}  // namespace panel
