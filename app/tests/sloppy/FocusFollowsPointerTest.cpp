// The panel under a window manager whose focus follows the pointer (jwm with
// <FocusModel>sloppy</FocusModel>, on the display scripts/test starts for
// these tests): while it is open it holds the keyboard and the pointer, so
// neither the pointer nor a pick in the model list over another window takes
// the user's typing away; every way out lets go of both.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/tests/x11/Scenario.h"

namespace {

using apptest::Scenario;
using apptest::ShownWindow;
using namespace std::chrono_literals;

const testsupport::LoopbackServer::Headers kJson{{"Content-Type", "application/json"}};

class FocusFollowsPointer : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(scenario.display().get(), nullptr) << "needs the display of QUILLARY_SLOPPY_DISPLAY";
        scenario.settings()["openai_api_key"] = "sk-sloppy";
        scenario.provider().reply("POST", "/v1/chat/completions", {200, kJson, Scenario::openAIAnswer("Answered.")});
        ASSERT_TRUE(scenario.startProgram()) << scenario.program().standardError();
        ASSERT_TRUE(scenario.startOtherApp());
        // The other program covers most of the screen; the right edge is bare
        // desktop.
        const std::string window = std::to_string(scenario.otherWindow());
        ASSERT_TRUE(Scenario::xdotool("windowsize --sync " + window + " 1100 700 windowmove --sync " + window +
                                      " 20 40"));
    }
    void TearDown() override {
        EXPECT_TRUE(scenario.stopProgram()) << scenario.program().ending() << "\n" << scenario.program().standardError();
    }

    // Selects a line in the other program and opens the panel over it with
    // the pointer at (x, y).
    bool openPanel(int x = 400, int y = 150) {
        // No --sync: xdotool would wait for a motion that never comes when
        // the pointer is already there.
        return scenario.activateOther() && scenario.selectInOther("Replace me") &&
               Scenario::xdotool("mousemove " + std::to_string(x) + " " + std::to_string(y)) &&
               Scenario::key("super+shift+space") && scenario.waitPanelFocused();
    }
    // A moment for the window manager to act on what the pointer did.
    static void letTheWindowManagerAct() { testsupport::runEventsFor(400ms); }
    bool holdsKeyboardAndPointer() {
        return apptest::waitUntil([&] {
            return scenario.panelShown() && !scenario.display().canGrab(true) && !scenario.display().canGrab(false);
        });
    }
    bool letGoOfKeyboardAndPointer() {
        return apptest::waitUntil([&] { return scenario.display().canGrab(true) && scenario.display().canGrab(false); });
    }
    std::optional<ShownWindow> popup() {
        for (auto& window : scenario.windows())
            if (window.popup) return window;
        return std::nullopt;
    }

    Scenario scenario;
};

TEST_F(FocusFollowsPointer, PointerAndPickerOverAnotherWindowLeaveTheKeysInThePanel) {
    ASSERT_TRUE(openPanel()) << scenario.program().standardError();
    const ShownWindow panel = scenario.panels().front();
    ASSERT_TRUE(Scenario::xdotool("mousemove --sync 1250 400 mousemove --sync 600 600"));
    letTheWindowManagerAct();
    EXPECT_TRUE(holdsKeyboardAndPointer());
    ASSERT_TRUE(Scenario::type("one"));

    // The model button starts the input row; the list opens below it, over
    // the other program, and its first row is picked there.
    ASSERT_TRUE(Scenario::xdotool("mousemove --sync " + std::to_string(panel.x + 30) + " " +
                                  std::to_string(panel.y + 20) + " click 1"));
    std::optional<ShownWindow> list;
    ASSERT_TRUE(apptest::waitUntil([&] { return (list = popup()).has_value(); })) << scenario.program().standardError();
    EXPECT_GT(list->y, panel.y);
    scenario.screenshot(*list, "sloppy-picker-over-other-window");
    ASSERT_TRUE(Scenario::xdotool("mousemove --sync " + std::to_string(list->x + 100) + " " +
                                  std::to_string(list->y + 20) + " click 1"));
    ASSERT_TRUE(apptest::waitUntil([&] { return !popup(); }));
    letTheWindowManagerAct();
    EXPECT_TRUE(holdsKeyboardAndPointer());
    ASSERT_TRUE(Scenario::type(" two"));
    ASSERT_TRUE(Scenario::key("Return"));

    // The one-shot answer goes into the window the selection came from.
    EXPECT_TRUE(testsupport::runEventsUntil([&] { return scenario.otherLine() == "Answered."; }, 10s))
        << scenario.otherLine() << "\n" << scenario.program().standardError();
    EXPECT_TRUE(scenario.waitPanelGone());
    EXPECT_TRUE(letGoOfKeyboardAndPointer());
    ASSERT_EQ(scenario.provider().requests().size(), 1u);
    EXPECT_EQ(nlohmann::json::parse(scenario.provider().requests()[0].body)["messages"].back()["content"], "one two");
}

// The panel lies partly over a second program, and the pointer rests there
// when the answer comes: the answer still goes into the window the
// selection came from, not into the one that the panel's going uncovers.
TEST_F(FocusFollowsPointer, TheAnswerGoesToTheSelectionsWindowWhileThePointerRestsOnThePanelOverAnotherOne) {
    OtherApplicationProcess second(QStringLiteral(QUILLARY_OTHER_APP));
    const std::string secondWindow = std::to_string(second.waitReady());
    ASSERT_NE(secondWindow, "0");
    const std::string window = std::to_string(scenario.otherWindow());
    ASSERT_TRUE(Scenario::xdotool("windowsize --sync " + window + " 560 700 windowmove --sync " + window +
                                  " 20 40 windowsize --sync " + secondWindow + " 560 700 windowmove --sync " +
                                  secondWindow + " 640 40"));
    ASSERT_TRUE(openPanel(600, 150)) << scenario.program().standardError();
    const ShownWindow panel = scenario.panels().front();
    ASSERT_GT(panel.x + panel.width, 700);
    ASSERT_TRUE(Scenario::xdotool("mousemove --sync " + std::to_string(panel.x + panel.width - 40) + " " +
                                  std::to_string(panel.y + panel.height / 2)));
    ASSERT_TRUE(Scenario::type("one"));
    ASSERT_TRUE(Scenario::key("Return"));
    EXPECT_TRUE(testsupport::runEventsUntil([&] { return scenario.otherLine() == "Answered."; }, 10s))
        << scenario.otherLine() << "\n" << scenario.program().standardError();
    EXPECT_TRUE(second.keyLines().empty()) << second.keyLines().front();
}

TEST_F(FocusFollowsPointer, EveryWayOutClosesThePanelAndLetsGoOfKeyboardAndPointer) {
    const std::vector<std::pair<std::string, std::function<bool()>>> waysOut = {
        {"a click outside", [] { return Scenario::xdotool("mousemove --sync 600 600 click 1"); }},
        {"Escape", [] { return Scenario::key("Escape"); }},
        {"a program's activation", [&] { return scenario.activateOther(); }},
        {"the main shortcut", [] { return Scenario::key("super+shift+space"); }},
    };
    for (const auto& [name, wayOut] : waysOut) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(openPanel()) << scenario.program().standardError();
        EXPECT_TRUE(holdsKeyboardAndPointer());
        ASSERT_TRUE(wayOut());
        EXPECT_TRUE(scenario.waitPanelGone());
        EXPECT_TRUE(letGoOfKeyboardAndPointer());
    }

    // A mode shortcut while the panel is open replaces it by the chat panel,
    // which holds the keyboard and the pointer in its turn.
    ASSERT_TRUE(openPanel());
    const Window first = scenario.panels().front().id;
    ASSERT_TRUE(Scenario::key("super+shift+c"));
    ASSERT_TRUE(apptest::waitUntil([&] {
        const auto panels = scenario.panels();
        return panels.size() == 1 && panels.front().id != first && scenario.programActive();
    })) << scenario.program().standardError();
    EXPECT_TRUE(holdsKeyboardAndPointer());
    ASSERT_TRUE(Scenario::key("Escape"));
    EXPECT_TRUE(scenario.waitPanelGone());
    EXPECT_TRUE(letGoOfKeyboardAndPointer());
}

}  // namespace
