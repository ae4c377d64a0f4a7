// Opening and closing a panel: the start model, the appear steps and their
// timing, the key check, chat and voice starts, Escape, visibility, the
// model picker, and what a hidden panel must stop doing.
#include <gtest/gtest.h>

#include "fakes/PanelHarness.h"
#include "testsupport/LogCapture.h"

namespace panel {
namespace {

using namespace std::chrono_literals;
using Change = PanelModel::Change;

class PanelOpening : public ::testing::Test {
protected:
    void hideEverything() {
        auto groups = h.settings().modelGroups();
        for (auto& g : groups)
            for (auto& m : g.models) m.isVisible = false;
        h.settings().setModelGroups(groups);
    }

    testing::PanelHarness h;
};

TEST_F(PanelOpening, StartModelIsTheRememberedVisibleOneElseTheFirstVisibleElseTheFirstOfAll) {
    EXPECT_EQ(h.make()->selectedModel()->displayName, "GPT-4o");

    h.defaults->setString("last_selected_model", "Claude 3 Opus");
    EXPECT_EQ(h.make()->selectedModel()->displayName, "Claude 3 Opus");

    h.defaults->setString("last_selected_model", "No Such Model");
    EXPECT_EQ(h.make()->selectedModel()->displayName, "GPT-4o");

    auto groups = h.settings().modelGroups();
    groups[1].models[2].isVisible = false;  // Claude 3 Opus
    groups[0].models[0].isVisible = false;  // GPT-4o
    h.settings().setModelGroups(groups);
    h.defaults->setString("last_selected_model", "Claude 3 Opus");
    EXPECT_EQ(h.make()->selectedModel()->displayName, "GPT-4o-mini");
    // Falling back writes nothing back.
    EXPECT_EQ(h.defaults->string("last_selected_model"), "Claude 3 Opus");

    hideEverything();
    const auto panel = h.make();
    EXPECT_EQ(panel->selectedModel()->displayName, "GPT-4o");
    EXPECT_FALSE(panel->selectedModel()->isVisible);
    EXPECT_TRUE(panel->pickerRows().empty());
    EXPECT_EQ(panel->modelButton().title, "GPT-4o");
}

TEST_F(PanelOpening, WithNoModelAtAllThePanelShowsNoNameAndSendsNothing) {
    h.settings().setModelGroups({{"OpenAI", {}}, {"Anthropic", {}}, {"Gemini", {}}, {"Ollama", {}}});
    const auto panel = h.make();
    EXPECT_FALSE(panel->selectedModel());
    EXPECT_EQ(panel->modelButton().title, "");
    EXPECT_FALSE(panel->modelButton().iconName);

    panel->handleAppear();
    EXPECT_EQ(panel->errorMessage(), "Add a model in Settings > Models to send a prompt.");
    panel->setText("hello");
    panel->submit();
    EXPECT_EQ(h.executor->pending(), 0u);
    EXPECT_FALSE(panel->isLoading());
    EXPECT_EQ(panel->errorMessage(), "Add a model in Settings > Models to send a prompt.");
}

TEST_F(PanelOpening, AppearRecordsReadsTheSelectionThenAnimatesAndFocusesAfterATenthOfASecond) {
    testsupport::LogCapture log;
    h.voice->authorizeSpeech = false;
    h.voice->grantMicrophone = false;
    h.selection->selectedText = "picked";
    h.settings().setOpenaiKey("sk");
    const auto panel = h.make();
    std::vector<Change> changes;
    panel->subscribe([&](Change c) { changes.push_back(c); });

    EXPECT_EQ(panel->appearance(), PanelModel::kHidden);
    panel->handleAppear();
    ASSERT_EQ(h.telemetry->events.size(), 1u);
    EXPECT_EQ(h.telemetry->events[0].name, "floating_window_shown");
    EXPECT_TRUE(h.telemetry->events[0].properties.empty());
    EXPECT_TRUE(log.contains("Speech recognition not authorized"));
    EXPECT_TRUE(log.contains("Microphone access denied"));
    EXPECT_EQ(panel->originalText(), "picked");
    EXPECT_FALSE(panel->errorMessage());
    // Opening does not read a possibly long stored history.
    EXPECT_FALSE(h.history->isLoaded());
    EXPECT_FALSE(panel->isChatMode());
    EXPECT_TRUE(panel->messages().empty());

    h.loop->advance(99ms);
    EXPECT_EQ(panel->appearance(), PanelModel::kHidden);
    EXPECT_FALSE(panel->isFocused());
    changes.clear();
    h.loop->advance(1ms);
    EXPECT_EQ(panel->appearance(), PanelModel::kShown);
    EXPECT_EQ(panel->appearanceAnimation(), PanelModel::AppearanceAnimation::in);
    EXPECT_TRUE(panel->isFocused());
    // The animation block was scheduled first and runs first.
    EXPECT_EQ(changes, (std::vector<Change>{Change::appearance, Change::focused}));
    EXPECT_EQ(h.loop->timerCount(), 0u);
}

TEST_F(PanelOpening, ASelectionThatCannotBeReadKeepsTheOwnersText) {
    PanelModel::Options options;
    options.originalText = "given";
    PanelModel panel(h.settings(), h.history, options, h.services());
    panel.handleAppear();
    EXPECT_EQ(panel.originalText(), "given");
}

TEST_F(PanelOpening, MissingKeyOfTheStartModelIsShownAtOnceExceptForOllama) {
    const std::pair<const char*, const char*> providers[] = {
        {"GPT-4o", "OpenAI"}, {"Claude 3.5 Sonnet", "Anthropic"}, {"Gemini 1.5 Pro", "Gemini"}};
    for (const auto& [model, group] : providers) {
        h.defaults->setString("last_selected_model", model);
        const auto panel = h.make();
        panel->handleAppear();
        EXPECT_EQ(panel->errorMessage(), std::string("Please set your ") + group + " API key in Settings");
        const auto* event = h.lastEvent("error");
        ASSERT_TRUE(event);
        EXPECT_EQ(std::get<std::string>(event->properties.at("error_type")), "missing_api_keys");
        EXPECT_EQ(std::get<std::string>(event->properties.at("error_message")),
                  std::string("No API key configured for ") + group);
    }

    h.events->events.clear();
    h.defaults->setString("last_selected_model", "Mistral");
    auto ollama = h.make();
    ollama->handleAppear();
    EXPECT_FALSE(ollama->errorMessage());

    h.settings().setOpenaiKey(" ");  // a key of one space counts as set
    h.defaults->setString("last_selected_model", "GPT-4o");
    auto openai = h.make();
    openai->handleAppear();
    EXPECT_FALSE(openai->errorMessage());
    EXPECT_FALSE(h.lastEvent("error"));
}

TEST_F(PanelOpening, ChatStartAddsTheSelectionAsSystemMessageAndRecordsHowItStarted) {
    struct Case {
        std::optional<std::string> selection;
        bool voice;
    };
    for (const Case& c : {Case{"context", false}, Case{std::nullopt, false}, Case{"", true}}) {
        h.selection->selectedText = c.selection;
        const auto panel = h.make(c.voice, true);
        panel->handleAppear();
        EXPECT_TRUE(panel->isChatMode());
        if (c.selection) {
            ASSERT_EQ(panel->messages().size(), 1u);
            EXPECT_EQ(panel->messages()[0].role, core::MessageRole::system);
            EXPECT_EQ(panel->messages()[0].content, *c.selection);
        } else {
            EXPECT_TRUE(panel->messages().empty());
        }
        const auto* event = h.lastEvent("chat_mode_used");
        ASSERT_TRUE(event);
        EXPECT_EQ(std::get<bool>(event->properties.at("started_with_voice")), c.voice);
        EXPECT_EQ(std::get<bool>(event->properties.at("had_selected_text")), c.selection.has_value());
    }
}

TEST_F(PanelOpening, VoiceStartRecordsWithAutoSubmitAThirdOfASecondAfterAppear) {
    const auto panel = h.make(true, true);
    panel->handleAppear();
    h.loop->advance(299ms);
    EXPECT_TRUE(h.speech->starts.empty());
    h.loop->advance(1ms);
    EXPECT_EQ(h.speech->starts, std::vector<bool>{true});
    EXPECT_TRUE(panel->isRecording());
}

TEST_F(PanelOpening, AHiddenPanelCancelsItsTimersAndStopsItsMicrophone) {
    const auto panel = h.make(true, false);
    panel->handleAppear();
    panel->handleDisappear();
    h.loop->advance(1s);
    EXPECT_TRUE(h.speech->starts.empty());
    EXPECT_EQ(panel->appearance(), PanelModel::kHidden);
    EXPECT_EQ(h.loop->timerCount(), 0u);

    panel->handleAppear();
    h.loop->advance(300ms);
    ASSERT_TRUE(panel->isRecording());
    panel->handleDisappear();
    EXPECT_EQ(h.speech->stops, 1);
    EXPECT_FALSE(h.speech->recording);
    EXPECT_FALSE(panel->isRecording());
    // Its silence handler went too.
    EXPECT_FALSE(h.speech->silenceHandler);
}

TEST_F(PanelOpening, DestroyingARecordingPanelStopsTheMicrophoneWithoutTellingTheView) {
    auto panel = h.make();
    panel->handleAppear();
    panel->toggleVoiceInput();
    ASSERT_TRUE(panel->isRecording());
    int heard = 0;
    panel->subscribe([&](Change) { ++heard; });
    const auto journal = h.speech->journal;
    panel.reset();
    EXPECT_EQ(*journal, (std::vector<std::string>{"start", "stop", "destroyed"}));
    EXPECT_EQ(heard, 0);
}

TEST_F(PanelOpening, ANewerPanelNeverTakesAnOlderRecognisersSilence) {
    h.settings().setOpenaiKey("sk");
    const auto older = h.make(true, false);
    older->handleAppear();
    h.loop->advance(300ms);
    testing::FakeSpeechInput* olderSpeech = h.speech;

    const auto newer = h.make(true, false);
    newer->handleAppear();
    h.loop->advance(300ms);
    ASSERT_TRUE(newer->isRecording());
    olderSpeech->detectSilence("meant for the old panel");
    EXPECT_EQ(newer->text(), "");
    EXPECT_TRUE(newer->isRecording());
    // The older panel took its own transcript.
    h.finishRequests();
    ASSERT_EQ(h.script->calls().size(), 1u);
    EXPECT_EQ(h.script->calls()[0].prompt, "meant for the old panel");
}

TEST_F(PanelOpening, EscapeClosesThePickerFirstThenAsksTheOwnerToHide) {
    std::vector<bool> writes;
    PanelModel::Options options;
    options.setVisible = [&](bool v) { writes.push_back(v); };
    PanelModel panel(h.settings(), h.history, options, h.services());

    panel.toggleModelPicker();
    EXPECT_TRUE(panel.handleEscapeKey());
    EXPECT_FALSE(panel.isModelPickerVisible());
    EXPECT_TRUE(writes.empty());
    EXPECT_TRUE(panel.handleEscapeKey());
    EXPECT_EQ(writes, std::vector<bool>{false});
}

TEST_F(PanelOpening, VisibilityChangesRecordTheDismissalAndAnimate) {
    const auto panel = h.make();
    panel->handleVisibilityChange(false);
    EXPECT_FALSE(panel->isVisible());
    ASSERT_EQ(h.telemetry->events.size(), 1u);
    EXPECT_EQ(h.telemetry->events[0].name, "floating_window_dismissed");
    EXPECT_EQ(std::get<std::string>(h.telemetry->events[0].properties.at("reason")), "user_dismissed");
    EXPECT_EQ(panel->appearance(), PanelModel::kHidden);
    EXPECT_EQ(panel->appearanceAnimation(), PanelModel::AppearanceAnimation::out);

    panel->handleVisibilityChange(true);
    EXPECT_EQ(panel->appearance(), PanelModel::kShown);
    EXPECT_EQ(panel->appearanceAnimation(), PanelModel::AppearanceAnimation::in);
    EXPECT_EQ(h.telemetry->events.size(), 1u);
}

TEST_F(PanelOpening, PickingAModelRemembersItClosesThePickerAndFocusesThePrompt) {
    const auto panel = h.make();
    const auto rows = panel->pickerRows();
    ASSERT_EQ(rows.size(), 17u);
    EXPECT_TRUE(rows[0].isSelected);
    EXPECT_EQ(panel->modelButton().iconName, "openai");

    panel->toggleModelPicker();
    const core::ModelInfo llama = rows[14].model;
    panel->selectModel(llama);
    EXPECT_EQ(panel->selectedModel(), llama);
    EXPECT_FALSE(panel->isModelPickerVisible());
    EXPECT_TRUE(panel->isFocused());
    EXPECT_EQ(h.defaults->string("last_selected_model"), "Llama 3.2");
    EXPECT_TRUE(panel->pickerRows()[14].isSelected);
    EXPECT_EQ(panel->modelButton().title, "Llama 3.2");
    EXPECT_EQ(panel->modelButton().iconName, "ollama");

    // Picking it again stores it again.
    const int sets = h.defaults->setCount();
    panel->toggleModelPicker();
    panel->selectModel(llama);
    EXPECT_EQ(h.defaults->setCount(), sets + 1);
    EXPECT_EQ(h.make()->selectedModel(), llama);
}

}  // namespace
}  // namespace panel
