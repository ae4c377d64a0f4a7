#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "core/Analytics.h"
#include "core/Settings.h"
#include "desktop/FloatingWindowController.h"
#include "desktop/FloatingWindowManager.h"
#include "platform/fake/InMemoryUserDefaults.h"
#include "platform/fake/ManualMainLoop.h"

namespace desktop {
namespace {

using ::testing::ElementsAre;

// What happened to the fake windows, in order: "show 1", "close 2",
// "destroy 1"...
struct WindowLog {
    std::vector<std::string> events;
    int visible = 0;
    int mostVisibleAtOnce = 0;
};

class FakePanelWindow final : public PanelWindow {
public:
    FakePanelWindow(std::shared_ptr<WindowLog> log, int id) : log_(std::move(log)), id_(id) {}
    ~FakePanelWindow() override {
        if (visible_) --log_->visible;
        record("destroy");
    }

    int panelHeight() const override { return 48; }
    void moveTo(QPoint topLeft) override { position = topLeft; }
    void showPanel() override {
        if (!visible_) log_->mostVisibleAtOnce = std::max(log_->mostVisibleAtOnce, ++log_->visible);
        visible_ = true;
        record("show");
    }
    void closePanel() override {
        if (visible_) --log_->visible;
        visible_ = false;
        record("close");
    }
    bool isPanelVisible() const override { return visible_; }
    void setOnDeactivate(std::function<void()> onDeactivate) override { onDeactivate_ = std::move(onDeactivate); }

    // The window lost the keyboard (a click elsewhere, Escape's close path).
    void loseKeyboard() {
        if (onDeactivate_) onDeactivate_();
    }

    QPoint position;

private:
    void record(const char* what) { log_->events.push_back(std::string(what) + " " + std::to_string(id_)); }

    std::shared_ptr<WindowLog> log_;
    int id_;
    bool visible_ = false;
    std::function<void()> onDeactivate_;
};

class FloatingWindowManagerTest : public ::testing::Test {
protected:
    FloatingWindowManagerTest() {
        FloatingWindowManager::Environment environment;
        environment.makeWindow = [this](std::unique_ptr<QWidget>) -> std::unique_ptr<PanelWindow> {
            auto window = std::make_unique<FakePanelWindow>(log, ++windowsMade);
            windows.push_back(window.get());
            log->events.push_back("made " + std::to_string(windowsMade));
            return window;
        };
        environment.pointerPosition = [] { return QPoint(700, 450); };
        environment.visibleFrame = [] { return std::optional<QRect>(QRect(0, 0, 1440, 900)); };
        environment.makeHistory = [this] {
            ++historiesLoaded;
            return std::make_unique<core::HistoryService>(defaults);
        };
        environment.loop = loop;
        environment.panelClosedWithoutPasteBack = [this] { ++closedWithoutPasteBack; };
        manager = std::make_unique<FloatingWindowManager>(settings, std::move(environment));
        manager->setViewFactory([this](PanelViewContext context) -> std::unique_ptr<QWidget> {
            contexts.push_back(std::move(context));
            return nullptr;
        });
    }

    FakePanelWindow& window(int id) { return *windows.at(static_cast<std::size_t>(id - 1)); }

    std::shared_ptr<platform::InMemoryUserDefaults> defaults = std::make_shared<platform::InMemoryUserDefaults>();
    core::Analytics analytics;
    core::Settings settings{defaults, analytics};
    std::shared_ptr<platform::ManualMainLoop> loop = std::make_shared<platform::ManualMainLoop>();
    std::shared_ptr<WindowLog> log = std::make_shared<WindowLog>();
    std::vector<FakePanelWindow*> windows;
    std::vector<PanelViewContext> contexts;
    int windowsMade = 0;
    int historiesLoaded = 0;
    int closedWithoutPasteBack = 0;
    std::unique_ptr<FloatingWindowManager> manager;
};

TEST_F(FloatingWindowManagerTest, ShowBuildsPlacesAndShowsOnePanelWithWhatTheViewNeeds) {
    EXPECT_EQ(manager->state(), FloatingWindowManager::State::noController);

    manager->showWindow(true, false);

    EXPECT_EQ(manager->state(), FloatingWindowManager::State::panelVisible);
    EXPECT_THAT(log->events, ElementsAre("made 1", "show 1"));
    EXPECT_EQ(window(1).position, QPoint(575, 500));
    ASSERT_EQ(contexts.size(), 1u);
    EXPECT_EQ(&contexts[0].settings, &settings);
    EXPECT_TRUE(contexts[0].startWithVoiceInput);
    EXPECT_FALSE(contexts[0].startWithChat);
    EXPECT_EQ(contexts[0].generation, manager->currentGeneration());

    // The history is read on its first use, not when the panel opens.
    EXPECT_EQ(historiesLoaded, 0);
    contexts[0].history->get().addEntry("GPT-4o", "prompt", std::nullopt, "answer", "app");
    contexts[0].history->get();
    EXPECT_EQ(historiesLoaded, 1);

    // Each showing gets its own store.
    manager->showWindow(false, true);
    EXPECT_NE(contexts[1].history, contexts[0].history);
    EXPECT_TRUE(contexts[1].startWithChat);
    EXPECT_EQ(contexts[1].history->get().entries().size(), 1u);
}

TEST_F(FloatingWindowManagerTest, ToggleGoesByThePanelsVisibility) {
    manager->toggleWindow();
    EXPECT_EQ(manager->state(), FloatingWindowManager::State::panelVisible);
    EXPECT_FALSE(contexts[0].startWithVoiceInput);
    EXPECT_FALSE(contexts[0].startWithChat);

    // Open: the toggle closes it and opens nothing.
    manager->toggleWindow();
    EXPECT_EQ(manager->state(), FloatingWindowManager::State::noController);
    EXPECT_EQ(windowsMade, 1);

    // Closed by itself, its controller kept: the toggle opens a new panel.
    manager->toggleWindow();
    window(2).loseKeyboard();
    EXPECT_EQ(manager->state(), FloatingWindowManager::State::panelClosedControllerKept);
    manager->toggleWindow();
    EXPECT_EQ(manager->state(), FloatingWindowManager::State::panelVisible);
    EXPECT_EQ(windowsMade, 3);
}

TEST_F(FloatingWindowManagerTest, ReplacingAPanelClosesTheOldOneBeforeTheNewShowsAndReleasesItLater) {
    manager->showWindow(false, false);
    manager->showWindow(true, false);

    // Built and placed first, then the old one closed, then the new shown.
    EXPECT_THAT(log->events, ElementsAre("made 1", "show 1", "made 2", "close 1", "show 2"));
    EXPECT_EQ(log->mostVisibleAtOnce, 1);
    EXPECT_EQ(manager->state(), FloatingWindowManager::State::panelVisible);

    // The old controller goes after the current event, not inside the call.
    loop->runPending();
    EXPECT_EQ(log->events.back(), "destroy 1");
    EXPECT_EQ(windowsMade, 2);
}

TEST_F(FloatingWindowManagerTest, OnSubmitClosesOnlyThePanelItWasMadeFor) {
    manager->showWindow(false, false);
    manager->showWindow(false, true);
    loop->runPending();

    // A request of the replaced panel ends: the new panel stays open.
    contexts[0].onSubmit("answer");
    contexts[0].close();
    EXPECT_EQ(manager->state(), FloatingWindowManager::State::panelVisible);

    // The current panel's answer was pasted: it closes and goes, after the
    // submit call has returned.
    contexts[1].onSubmit("answer");
    EXPECT_EQ(manager->state(), FloatingWindowManager::State::noController);
    EXPECT_FALSE(window(2).isPanelVisible());
    EXPECT_NE(log->events.back(), "destroy 2");
    loop->runPending();
    EXPECT_EQ(log->events.back(), "destroy 2");
}

TEST_F(FloatingWindowManagerTest, EveryPanelClosedWithoutAPasteBackIsReportedOnce) {
    manager->showWindow(false, false);
    window(1).loseKeyboard();
    window(1).loseKeyboard();
    EXPECT_EQ(closedWithoutPasteBack, 1);

    manager->showWindow(false, false);  // replaces a closed panel: nothing more
    EXPECT_EQ(closedWithoutPasteBack, 1);
    // Replaces an open one: the capture made for the new panel is its own,
    // so the old one's close gives no clipboard back.
    manager->showWindow(false, false);
    EXPECT_EQ(closedWithoutPasteBack, 1);
    manager->toggleWindow();
    EXPECT_EQ(closedWithoutPasteBack, 2);

    manager->showWindow(false, false);
    contexts.back().onSubmit("answer");
    EXPECT_EQ(closedWithoutPasteBack, 2);

    // The view's own close keeps the controller, like Escape.
    manager->showWindow(false, false);
    contexts.back().close();
    EXPECT_EQ(closedWithoutPasteBack, 3);
    EXPECT_EQ(manager->state(), FloatingWindowManager::State::panelClosedControllerKept);
}

TEST_F(FloatingWindowManagerTest, CallbacksOutlivingTheManagerDoNothing) {
    manager->showWindow(false, false);
    auto context = contexts[0];
    manager.reset();
    context.onSubmit("answer");
    context.close();
    loop->runPending();
    EXPECT_EQ(closedWithoutPasteBack, 0);
}

TEST_F(FloatingWindowManagerTest, APanelLetGoOfGoesWithTheManagerWhenTheLoopDoesNotTurnAgain) {
    manager->showWindow(false, false);
    manager->toggleWindow();
    EXPECT_EQ(log->events.back(), "close 1");
    manager.reset();
    EXPECT_EQ(log->events.back(), "destroy 1");
    loop->runPending();  // the release's turn finds nothing left to do
    EXPECT_EQ(std::count(log->events.begin(), log->events.end(), "destroy 1"), 1);
}

TEST(FloatingWindowControllerTest, KeyLossClosesOnlyWhileTheControllerExists) {
    auto log = std::make_shared<WindowLog>();
    auto owned = std::make_unique<FakePanelWindow>(log, 1);
    FakePanelWindow& window = *owned;
    int closed = 0;
    {
        FloatingWindowController controller(std::move(owned), QPoint(1000, 450), std::nullopt);
        controller.setOnClosed([&] { ++closed; });
        // No screen: the empty rectangle, left rule last.
        EXPECT_EQ(window.position, QPoint(20, 302));
        controller.showWindow();
        window.loseKeyboard();
        EXPECT_FALSE(window.isPanelVisible());
        EXPECT_EQ(closed, 1);
        controller.close();
        EXPECT_EQ(closed, 1);
    }
    EXPECT_EQ(log->events.back(), "destroy 1");
}

}  // namespace
}  // namespace desktop
