// The panel over a fullscreen window under i3 (on the display scripts/test
// starts for these tests, QUILLARY_I3_DISPLAY). i3 takes a fullscreen window
// out of fullscreen when another window is activated over it, but keeps it
// for a window transient for it.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "app/tests/x11/Scenario.h"

namespace {

using apptest::Scenario;
using namespace std::chrono_literals;

const testsupport::LoopbackServer::Headers kJson{{"Content-Type", "application/json"}};

// What the command printed, none when it could not run or failed.
std::optional<std::string> output(const std::string& command) {
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe) return std::nullopt;
    std::string text;
    char buffer[4096];
    for (std::size_t read; (read = fread(buffer, 1, sizeof buffer, pipe.get())) > 0;) text.append(buffer, read);
    if (pclose(pipe.release()) != 0) return std::nullopt;
    return text;
}

const nlohmann::json* nodeOf(const nlohmann::json& node, unsigned long window) {
    if (node.value("window", nlohmann::json()).is_number() && node["window"].get<unsigned long>() == window)
        return &node;
    for (const char* children : {"nodes", "floating_nodes"})
        if (node.contains(children))
            for (const auto& child : node[children])
                if (const auto* found = nodeOf(child, window)) return found;
    return nullptr;
}

// The window's fullscreen mode in i3's own tree (0: none, 1: its workspace),
// -1 when it is not there.
int fullscreenMode(unsigned long window) {
    const auto text = output("i3-msg -t get_tree");
    if (!text) return -1;
    const auto tree = nlohmann::json::parse(*text, nullptr, false);
    const auto* node = nodeOf(tree, window);
    return node ? node->value("fullscreen_mode", -1) : -1;
}

TEST(PanelOverFullscreenWindow, TheWindowStaysFullscreenThroughThePanelAndTheAnswerLandsInIt) {
    Scenario scenario;
    ASSERT_NE(scenario.display().get(), nullptr) << "needs the display of QUILLARY_I3_DISPLAY";
    scenario.settings()["openai_api_key"] = "sk-i3";
    scenario.provider().reply("POST", "/v1/chat/completions", {200, kJson, Scenario::openAIAnswer("Answered.")});
    ASSERT_TRUE(scenario.startProgram()) << scenario.program().standardError();
    ASSERT_TRUE(scenario.startOtherApp());
    const unsigned long window = scenario.otherWindow();
    ASSERT_TRUE(output("i3-msg '[id=" + std::to_string(window) + "] fullscreen enable'"));
    ASSERT_TRUE(apptest::waitUntil([&] { return fullscreenMode(window) == 1; }));

    ASSERT_TRUE(scenario.selectInOther("Replace me"));
    ASSERT_TRUE(Scenario::key("super+shift+space"));
    ASSERT_TRUE(scenario.waitPanelFocused()) << scenario.program().standardError();
    EXPECT_EQ(fullscreenMode(window), 1);
    ASSERT_TRUE(Scenario::type("one"));
    scenario.screenshot(scenario.panels().front(), "i3-panel-over-fullscreen-window");
    ASSERT_TRUE(Scenario::key("Return"));

    EXPECT_TRUE(testsupport::runEventsUntil([&] { return scenario.otherLine() == "Answered."; }, 10s))
        << scenario.otherLine() << "\n" << scenario.program().standardError();
    EXPECT_TRUE(scenario.waitPanelGone());
    EXPECT_EQ(fullscreenMode(window), 1);
    ASSERT_EQ(scenario.provider().requests().size(), 1u);
    EXPECT_EQ(nlohmann::json::parse(scenario.provider().requests()[0].body)["messages"].back()["content"], "one");
    EXPECT_TRUE(scenario.stopProgram()) << scenario.program().ending() << "\n" << scenario.program().standardError();
}

}  // namespace
