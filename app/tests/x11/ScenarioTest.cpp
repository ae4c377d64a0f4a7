// The product as a user meets it: the real quillary under Xvfb and jwm, a
// loopback provider server, and a small Qt program as the application whose
// text is worked on. Keys are pressed with xdotool.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/tests/x11/Scenario.h"

namespace {

using apptest::Scenario;
using testsupport::LoopbackServer;
using namespace std::chrono_literals;

const LoopbackServer::Headers kJson{{"Content-Type", "application/json"}};

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(scenario.display().get(), nullptr) << "x11 tests need DISPLAY (scripts/test starts Xvfb and jwm)";
        scenario.settings()["openai_api_key"] = "sk-end-to-end";
    }
    void TearDown() override {
        EXPECT_TRUE(scenario.stopProgram()) << scenario.program().ending() << "\n" << scenario.program().standardError();
    }

    void answerWith(const std::string& answer) {
        scenario.provider().reply("POST", "/v1/chat/completions", {200, kJson, Scenario::openAIAnswer(answer)});
    }
    // The history as the program stored it, once it holds `count` entries.
    nlohmann::json waitForHistory(std::size_t count) {
        nlohmann::json history;
        apptest::waitUntil([&] {
            const auto stored = scenario.storedSettings();
            if (!stored.is_object() || !stored.contains("quillary_history")) return false;
            // Stored as raw bytes: {"data": "<the JSON list>"}.
            history = stored["quillary_history"];
            if (history.is_object() && history.contains("data") && history["data"].is_string())
                history = nlohmann::json::parse(history["data"].get<std::string>(), nullptr, false);
            return history.is_array() && history.size() >= count;
        });
        return history;
    }

    Scenario scenario;
};

TEST_F(EndToEnd, OneShotReplacesTheSelectionAndGivesTheClipboardBack) {
    answerWith("This sentence has no typo.");
    ASSERT_TRUE(scenario.startProgram()) << scenario.program().standardError();
    ASSERT_TRUE(scenario.startOtherApp());
    scenario.other().send("copy-image");
    const auto clipboardBefore = scenario.clipboard();
    ASSERT_FALSE(clipboardBefore.empty());
    ASSERT_TRUE(scenario.selectInOther("This sentense has a typo."));

    ASSERT_TRUE(Scenario::key("super+shift+space"));
    ASSERT_TRUE(scenario.waitPanelFocused()) << scenario.program().standardError();
    ASSERT_TRUE(Scenario::type("fix this"));
    scenario.screenshot(scenario.panels().front(), "end-to-end-one-shot");
    ASSERT_TRUE(Scenario::key("Return"));

    EXPECT_TRUE(testsupport::runEventsUntil([&] { return scenario.otherLine() == "This sentence has no typo."; }, 10s))
        << scenario.otherLine() << "\n" << scenario.program().standardError();
    EXPECT_TRUE(scenario.waitPanelGone());
    EXPECT_TRUE(testsupport::runEventsUntil([&] { return scenario.clipboard() == clipboardBefore; }, 5s))
        << "the clipboard holds what it held before: " << testing::PrintToString(clipboardBefore) << " now "
        << testing::PrintToString(scenario.clipboard());

    ASSERT_EQ(scenario.provider().requests().size(), 1u);
    const auto body = nlohmann::json::parse(scenario.provider().requests()[0].body);
    EXPECT_EQ(body["messages"].back()["content"], "fix this");
    EXPECT_NE(body["messages"][0]["content"].get<std::string>().find("\"This sentense has a typo.\""), std::string::npos);
    EXPECT_EQ(scenario.provider().requests()[0].header("Authorization"), "Bearer sk-end-to-end");

    const auto history = waitForHistory(1);
    ASSERT_TRUE(history.is_array()) << scenario.storedSettings().dump();
    ASSERT_EQ(history.size(), 1u) << history.dump();
    EXPECT_EQ(history[0]["applicationName"], "OtherApp");
    EXPECT_EQ(history[0]["input"], "fix this");
    EXPECT_EQ(history[0]["selectedText"], "This sentense has a typo.");
    EXPECT_EQ(history[0]["output"], "This sentence has no typo.");
}

}  // namespace
