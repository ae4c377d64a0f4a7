// Submitting a prompt: the empty-text rule, the key requirement, the request
// and its hand-off, one-shot answers, chat turns, failures, and the answers
// that must not reach the application (replaced panel, second answer).
#include <gtest/gtest.h>

#include <algorithm>

#include "core/ProviderError.h"
#include "desktop/FloatingWindowManager.h"
#include "fakes/PanelHarness.h"
#include "platform/LastActiveApplication.h"
#include "testsupport/LogCapture.h"

namespace panel {
namespace {

using core::MessageRole;

std::string str(const core::testing::RecordedEvent& e, const std::string& key) {
    return std::get<std::string>(e.properties.at(key));
}

class PanelSubmission : public ::testing::Test {
protected:
    void SetUp() override {
        platform::LastActiveApplication::set(platform::RunningApplicationInfo{"Text Editor", "org.example.editor"});
        h.settings().setOpenaiKey("sk-test");
    }
    void TearDown() override { platform::LastActiveApplication::set(std::nullopt); }

    std::unique_ptr<PanelModel> shown(bool chat = false) {
        auto panel = h.make(false, chat);
        panel->handleAppear();
        h.loop->advance(std::chrono::milliseconds(100));
        return panel;
    }

    testing::PanelHarness h;
};

TEST_F(PanelSubmission, OnlyAnEmptyPromptIsIgnoredSpacesAreSent) {
    const auto panel = shown(true);
    panel->submit();
    EXPECT_TRUE(panel->messages().empty());
    EXPECT_EQ(h.executor->pending(), 0u);
    EXPECT_FALSE(h.lastEvent("chat_message_sent"));

    panel->setText("   ");
    panel->submit();
    EXPECT_TRUE(panel->isLoading());
    h.finishRequests();
    ASSERT_EQ(h.script->calls().size(), 1u);
    EXPECT_EQ(h.script->calls()[0].prompt, "   ");
}

TEST_F(PanelSubmission, KeyRequirementFollowsTheFirstOllamaGroupThenTheFirstGroupHoldingTheModel) {
    auto& settings = h.settings();
    settings.setClaudeKey("claude-key");
    settings.setModelGroups({
        {"OpenAI", {{"Shared", "shared", true}, {"GPT", "gpt", true}}},
        {"Empty", {}},
        {"Anthropic", {{"Claude", "claude", true}}},
        {"Gemini", {{"Gem", "gem", true}}},
        {"Ollama", {{"Shared", "shared", true}}},
        {"Custom", {{"Own", "own", true}}},
        {"Ollama", {{"Second", "second", true}}},
    });
    EXPECT_EQ(PanelModel::apiKeyRequirement(settings, "Shared"), "no_key_required");
    EXPECT_EQ(PanelModel::apiKeyRequirement(settings, "GPT"), "sk-test");
    EXPECT_EQ(PanelModel::apiKeyRequirement(settings, "Claude"), "claude-key");
    EXPECT_EQ(PanelModel::apiKeyRequirement(settings, "Gem"), "");
    EXPECT_EQ(PanelModel::apiKeyRequirement(settings, "Own"), "no_key_required");
    EXPECT_EQ(PanelModel::apiKeyRequirement(settings, "Second"), "no_key_required");
    EXPECT_EQ(PanelModel::apiKeyRequirement(settings, "Nowhere"), "no_key_required");
    EXPECT_EQ(PanelModel::apiKeyRequirement(settings, "gpt"), "no_key_required");  // names are exact
}

TEST_F(PanelSubmission, AMissingKeySendsNothingAndSaysWhichProvider) {
    h.settings().setOpenaiKey("");
    const std::pair<const char*, const char*> providers[] = {
        {"GPT-4o", "OpenAI"}, {"Claude 3 Opus", "Anthropic"}, {"Gemini 2.0 Flash", "Gemini"}};
    for (const auto& [model, group] : providers) {
        const auto panel = shown();
        panel->selectModel(*h.settings().findModel(model));
        panel->setText("prompt");
        panel->submit();
        EXPECT_EQ(panel->errorMessage(), std::string("Please set your ") + group + " API key in Settings");
        const auto* event = h.lastEvent("error");
        ASSERT_TRUE(event);
        EXPECT_EQ(str(*event, "error_type"), "missing_api_key");
        EXPECT_EQ(str(*event, "error_message"), std::string("Missing ") + group + " API key");
        EXPECT_EQ(panel->text(), "prompt");
        EXPECT_FALSE(panel->isLoading());
    }
    EXPECT_EQ(h.executor->pending(), 0u);
}

TEST_F(PanelSubmission, ChatMessageIsKeptAndCountedBeforeTheKeyCheck) {
    h.settings().setOpenaiKey("");
    const auto panel = shown(true);
    panel->setText("h\xC3\xA9llo \xF0\x9F\x91\x8B\xF0\x9F\x8F\xBD");  // é, a waving hand with skin tone
    panel->submit();
    panel->submit();
    ASSERT_EQ(panel->messages().size(), 2u);
    for (const auto& m : panel->messages()) {
        EXPECT_EQ(m.role, MessageRole::user);
        EXPECT_EQ(m.content, panel->text());
    }
    const auto* sent = h.lastEvent("chat_message_sent");
    ASSERT_TRUE(sent);
    EXPECT_EQ(std::get<bool>(sent->properties.at("is_voice_input")), false);
    EXPECT_EQ(std::get<std::int64_t>(sent->properties.at("message_length")), 7);
    EXPECT_EQ(panel->errorMessage(), "Please set your OpenAI API key in Settings");
    EXPECT_EQ(h.executor->pending(), 0u);
}

TEST_F(PanelSubmission, OneShotAnswerIsRecordedPastedSummarisedAndClosesThePanel) {
    std::vector<bool> visibilityWrites;
    PanelModel::Options options;
    options.onSubmit = [&](const std::string& s) { h.submitted.push_back(s); };
    options.setVisible = [&](bool v) { visibilityWrites.push_back(v); };
    h.selection->selectedText = "selected words";
    PanelModel panel(h.settings(), h.history, options, h.services());
    panel.handleAppear();
    panel.setText("fix this");
    panel.submit();
    EXPECT_TRUE(panel.isLoading());
    EXPECT_FALSE(panel.errorMessage());
    // Later edits change nothing of what was sent or recorded.
    panel.setText("fix this, edited");
    h.script->answer("fixed words");
    h.settings().setOpenaiKey("changed after sending");
    h.finishRequests();

    const auto calls = h.script->calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].model.displayName, "GPT-4o");
    EXPECT_EQ(calls[0].prompt, "fix this");
    EXPECT_EQ(calls[0].selectedText, "selected words");
    EXPECT_TRUE(calls[0].history.empty());
    EXPECT_EQ(calls[0].settings.openaiKey, "sk-test");

    const auto* used = h.lastEvent("model_used");
    ASSERT_TRUE(used);
    EXPECT_EQ(str(*used, "model_name"), "GPT-4o");
    EXPECT_EQ(str(*used, "model_api"), "gpt-4o");
    EXPECT_EQ(std::get<bool>(used->properties.at("had_selected_text")), true);
    EXPECT_EQ(std::get<std::int64_t>(used->properties.at("prompt_length")), 8);
    EXPECT_EQ(str(*used, "source_app_name"), "Text Editor");

    ASSERT_EQ(h.entries().size(), 1u);
    const auto& entry = h.entries()[0];
    EXPECT_EQ(entry.modelName, "GPT-4o");
    EXPECT_EQ(entry.input, "fix this");
    EXPECT_EQ(entry.selectedText, "selected words");
    EXPECT_EQ(entry.output, "fixed words");
    EXPECT_EQ(entry.applicationName, "Text Editor");

    EXPECT_EQ(h.selection->pasted, std::vector<std::string>{"fixed words"});
    EXPECT_EQ(h.selection->clipboardKept, 1);
    EXPECT_EQ(h.submitted, std::vector<std::string>{"GPT-4o: fix this -> fixed words"});
    EXPECT_EQ(panel.text(), "");
    EXPECT_EQ(visibilityWrites, std::vector<bool>{false});
    EXPECT_FALSE(panel.isLoading());
}

TEST_F(PanelSubmission, HistoryNamesAnUnknownApplicationAndTheModelSelectedWhenTheAnswerArrives) {
    platform::LastActiveApplication::set(platform::RunningApplicationInfo{std::nullopt, "id.only"});
    const auto panel = shown();
    panel->setText("q");
    panel->submit();
    panel->selectModel(*h.settings().findModel("Llama 3.2"));
    h.finishRequests();
    EXPECT_EQ(h.script->calls()[0].model.displayName, "GPT-4o");
    ASSERT_EQ(h.entries().size(), 1u);
    EXPECT_EQ(h.entries()[0].applicationName, "unknown");
    EXPECT_EQ(h.entries()[0].modelName, "Llama 3.2");
    EXPECT_FALSE(h.entries()[0].selectedText);
    EXPECT_EQ(str(*h.lastEvent("model_used"), "model_api"), "llama3.2");
    EXPECT_EQ(h.submitted, std::vector<std::string>{"Llama 3.2: q -> answer"});
}

TEST_F(PanelSubmission, TheStoredHistoryLoadsOnAWorkerAndAnAnswerThatComesFirstWaitsForIt) {
    const auto panel = shown();
    panel->setText("q");
    panel->submit();
    ASSERT_EQ(h.executor->pending(), 2u);  // the history's load, then the provider call
    h.executor->runNewest();
    h.loop->runPending();
    EXPECT_EQ(h.selection->pasted.size(), 1u);
    EXPECT_TRUE(h.lastEvent("model_used"));
    EXPECT_FALSE(h.history->isLoaded());

    h.executor->runNext();
    h.loop->runPending();
    ASSERT_EQ(h.entries().size(), 1u);
    EXPECT_EQ(h.entries()[0].output, "answer");
}

TEST_F(PanelSubmission, AFailureIsRecordedAtOnceAndShownOnTheNextTurn) {
    const auto panel = shown(true);
    panel->setText("question");
    panel->submit();
    h.script->fail(core::ProviderError("OpenAI", 429, "Rate limit reached for requests"));
    h.executor->runAll();
    h.loop->runPending();  // the outcome arrives...
    const auto* error = h.lastEvent("error");
    ASSERT_TRUE(error);
    EXPECT_EQ(str(*error, "error_type"), "completion_error");
    EXPECT_EQ(str(*error, "error_message"), "Rate limit reached for requests");
    // ...and runPending also ran the next turn: loading ended, text shown.
    EXPECT_FALSE(panel->isLoading());
    EXPECT_EQ(panel->errorMessage(), "Rate limit reached for requests");
    EXPECT_EQ(panel->text(), "question");
    ASSERT_EQ(panel->messages().size(), 1u);
    EXPECT_EQ(panel->messages()[0].role, MessageRole::user);
    EXPECT_TRUE(h.entries().empty());
    EXPECT_FALSE(h.lastEvent("model_used"));
    EXPECT_TRUE(h.selection->pasted.empty());

    // The next send clears the line before its request starts.
    panel->submit();
    EXPECT_FALSE(panel->errorMessage());
}

TEST_F(PanelSubmission, TheErrorTextWaitsForTheNextTurnOfTheMainLoop) {
    const auto panel = shown();
    panel->setText("question");
    panel->submit();
    h.script->fail(std::runtime_error("plain failure"));
    h.executor->runAll();
    // Run only the outcome: it records and queues the rest.
    bool loadingAfterOutcome = false;
    h.loop->post([&] { loadingAfterOutcome = panel->isLoading(); });
    h.loop->runPending();
    EXPECT_TRUE(loadingAfterOutcome);
    EXPECT_EQ(panel->errorMessage(), "plain failure");
}

TEST_F(PanelSubmission, ChatTurnsCarryTheConversationAndStayInThePanel) {
    h.selection->selectedText = "context";
    const auto panel = shown(true);
    panel->setText("first");
    panel->submit();
    h.script->answer("one");
    h.finishRequests();
    panel->setText("second");
    panel->submit();
    h.finishRequests();

    const auto calls = h.script->calls();
    ASSERT_EQ(calls.size(), 2u);
    // The question asked goes once, as the prompt; the turns before it are
    // the history.
    EXPECT_EQ(calls[0].prompt, "first");
    ASSERT_EQ(calls[0].history.size(), 1u);
    EXPECT_EQ(calls[0].history[0].content, "context");
    EXPECT_EQ(calls[1].prompt, "second");
    ASSERT_EQ(calls[1].history.size(), 3u);
    EXPECT_EQ(calls[1].history[0].role, MessageRole::system);
    EXPECT_EQ(calls[1].history[0].content, "context");
    EXPECT_EQ(calls[1].history[1].content, "first");
    EXPECT_EQ(calls[1].history[2].role, MessageRole::assistant);
    EXPECT_EQ(calls[1].history[2].content, "one");
    EXPECT_EQ(calls[1].selectedText, "context");

    ASSERT_EQ(panel->messages().size(), 5u);
    EXPECT_EQ(panel->messages()[4].role, MessageRole::assistant);
    EXPECT_EQ(panel->text(), "");
    EXPECT_TRUE(h.selection->pasted.empty());
    EXPECT_TRUE(h.submitted.empty());
    ASSERT_EQ(h.entries().size(), 2u);
    EXPECT_EQ(h.entries()[0].selectedText, "context");
}

TEST_F(PanelSubmission, TheModeWhenTheAnswerArrivesDecidesWhereItGoes) {
    const auto panel = shown();
    panel->setText("q");
    panel->submit();
    panel->toggleChatMode();
    h.finishRequests();
    EXPECT_TRUE(h.selection->pasted.empty());
    ASSERT_EQ(panel->messages().size(), 1u);
    EXPECT_EQ(panel->messages()[0].role, MessageRole::assistant);
    EXPECT_FALSE(panel->isLoading());
}

TEST_F(PanelSubmission, ChatToggleAddsTheSelectionOnEntryAndForgetsTheConversationOnExit) {
    h.selection->selectedText = "";
    const auto panel = shown();
    panel->toggleChatMode();
    ASSERT_EQ(panel->messages().size(), 1u);
    EXPECT_EQ(panel->messages()[0].role, MessageRole::system);
    EXPECT_EQ(panel->messages()[0].content, "");
    panel->setText("q");
    panel->submit();
    panel->toggleChatMode();
    EXPECT_FALSE(panel->isChatMode());
    EXPECT_TRUE(panel->messages().empty());
    panel->toggleChatMode();
    EXPECT_EQ(panel->messages().size(), 1u);

    h.selection->selectedText = std::nullopt;
    const auto plain = shown();
    plain->toggleChatMode();
    EXPECT_TRUE(plain->isChatMode());
    EXPECT_TRUE(plain->messages().empty());
    EXPECT_FALSE(h.lastEvent("chat_mode_used"));  // the button records nothing
}

TEST_F(PanelSubmission, APanelOfTheWindowManagerClosesThroughItsContextWhileCurrent) {
    std::vector<std::string> closed;
    bool current = true;
    desktop::PanelViewContext context{h.settings(), h.history, false, true, 7,
                                      [&](const std::string& text) { closed.push_back(text); }, [] {}};
    const auto options = PanelModel::optionsFor(context, [&] { return current; });
    EXPECT_FALSE(options.startWithVoiceInput);
    EXPECT_TRUE(options.startWithChat);

    PanelModel panel(h.settings(), context.history, options, h.services());
    panel.handleAppear();
    panel.toggleChatMode();  // back to one-shot
    panel.setText("q");
    panel.submit();
    h.finishRequests();
    EXPECT_EQ(closed, std::vector<std::string>{"GPT-4o: q -> answer"});
}

TEST_F(PanelSubmission, AReplacedPanelRecordsItsAnswerButNeitherPastesNorCloses) {
    const auto panel = shown();
    panel->setText("q");
    panel->submit();
    h.current = false;  // a newer panel took its place
    h.finishRequests();
    EXPECT_EQ(h.entries().size(), 1u);
    EXPECT_TRUE(h.lastEvent("model_used"));
    EXPECT_TRUE(h.selection->pasted.empty());
    EXPECT_TRUE(h.submitted.empty());
    EXPECT_FALSE(panel->isLoading());
}

TEST_F(PanelSubmission, AnAnswerForAPanelThatIsGoneIsOnlyRecorded) {
    auto panel = shown();
    panel->setText("q");
    panel->submit();
    panel.reset();
    h.script->answer("late");
    h.finishRequests();
    ASSERT_EQ(h.entries().size(), 1u);
    EXPECT_EQ(h.entries()[0].output, "late");
    EXPECT_EQ(h.entries()[0].modelName, "GPT-4o");
    EXPECT_TRUE(h.selection->pasted.empty());
    EXPECT_TRUE(h.submitted.empty());

    // A failure of a panel that is gone is recorded too, and shown nowhere.
    auto failing = shown();
    failing->setText("q");
    failing->submit();
    failing.reset();
    h.script->fail(core::ProviderError("OpenAI", 500, "server"));
    h.finishRequests();
    EXPECT_EQ(str(*h.lastEvent("error"), "error_message"), "server");
}

TEST_F(PanelSubmission, ASecondReturnInOneShotModeDeliversOnlyOneAnswer) {
    const auto panel = shown();
    panel->setText("q");
    panel->submit();
    panel->submit();
    h.script->answer("first");
    h.script->answer("second");
    h.finishRequests();
    EXPECT_EQ(h.entries().size(), 2u);
    EXPECT_EQ(h.selection->pasted, std::vector<std::string>{"first"});
    EXPECT_EQ(h.submitted.size(), 1u);
}

TEST_F(PanelSubmission, AnAnswerForAClosedPanelIsTypedNowhereAndKeptInTheHistory) {
    testsupport::LogCapture log;
    // Closed by Escape or the focus going elsewhere: the panel is kept.
    auto panel = shown();
    panel->setText("q");
    panel->submit();
    panel->handleDisappear();
    h.finishRequests();
    // Closed by the main shortcut: the panel is gone.
    panel = shown();
    panel->setText("q");
    panel->submit();
    panel.reset();
    h.finishRequests();
    EXPECT_TRUE(h.selection->pasted.empty());
    EXPECT_TRUE(h.submitted.empty());
    EXPECT_EQ(h.entries().size(), 2u);
    const auto messages = log.messages();
    EXPECT_EQ(std::count_if(messages.begin(), messages.end(),
                            [](const std::string& m) { return m.find("after its panel was closed") != m.npos; }),
              2);
}

TEST_F(PanelSubmission, APanelDestroyedDuringThePasteIsNotTouchedAfterwards) {
    auto panel = shown();
    panel->setText("q");
    panel->submit();
    h.selection->duringPaste = [&] { panel.reset(); };
    h.finishRequests();
    EXPECT_EQ(h.selection->pasted.size(), 1u);
    EXPECT_TRUE(h.submitted.empty());
}

}  // namespace
}  // namespace panel
