#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "GlobalShortcuts/CarbonGlobalShortcuts.h"
#include "GlobalShortcuts/GlobalShortcuts.h"
#include "core/Analytics.h"
#include "core/Settings.h"
#include "desktop/FloatingWindowManager.h"
#include "desktop/HotkeyManager.h"
#include "platform/fake/InMemoryHotKeyBackend.h"
#include "platform/fake/InMemoryUserDefaults.h"
#include "testsupport/LogCapture.h"
#include "unit/CaptureFakes.h"
#include "unit/PermissionFakes.h"
#include "unit/ShownFlagWindow.h"

namespace desktop {
namespace {

using platform::HotKeyCombination;
namespace carbon = platform::carbon_modifier;

constexpr HotKeyCombination kSpace{49, carbon::command | carbon::shift};
constexpr HotKeyCombination kV{9, carbon::command | carbon::shift};
constexpr HotKeyCombination kC{8, carbon::command | carbon::shift};
constexpr HotKeyCombination kB{11, carbon::command | carbon::shift};

const platform::RunningApplication kEditor{1001, "Gedit", "gedit", 0x400001};
const platform::RunningApplication kOurPanel{platform::FakeWorkspace::kOwnProcess, "Quillary", "quillary", 0x900001};

using testing::ShownFlagWindow;
using Keys = std::vector<platform::HeldKeyEvent>;

// X key codes and symbols of the keys the user types while held.
constexpr std::uint32_t kEscapeCode = 9, kSpaceCode = 65, kShiftState = 1, kSuperState = 0x40;
platform::HeldKeyEvent key(bool press, std::uint32_t code, std::uint32_t keysym, std::uint32_t state = 0) {
    return {press, code, state, 0, keysym, keysym < 0x80 ? std::string(1, static_cast<char>(keysym)) : ""};
}
Keys tap(std::uint32_t code, std::uint32_t keysym, std::uint32_t state = 0) {
    return {key(true, code, keysym, state), key(false, code, keysym, state)};
}
Keys operator+(Keys a, const Keys& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
const Keys kTypedA = tap(38, 'a'), kTypedB = tap(56, 'b'), kTypedS = tap(39, 's'), kTypedEscape = tap(kEscapeCode, 0xff1b);
const Keys kSpaceAgain = tap(kSpaceCode, ' ', kShiftState | kSuperState);

class HotkeyManagerTest : public ::testing::Test, protected testing::PermissionFixture, protected testing::CaptureFakes {
protected:
    static void SetUpTestSuite() {
        // The names are made once per process and store their defaults in
        // the standard defaults of that moment: one store for the suite.
        suiteDefaults = std::make_shared<platform::InMemoryUserDefaults>();
    }

    HotkeyManagerTest() {
        platform::UserDefaults::setStandard(suiteDefaults);
        platform::MainLoop::setMain(loop);
        GlobalShortcuts::resetForTesting();
        CarbonGlobalShortcuts::setBackend(backend);
        TextReplacer::resetForTesting();
        defaults->setBool(AccessibilityManager::launchedBeforeKey, true);
        trust->trusted = true;
        accessibilityManager = std::make_unique<AccessibilityManager>(dependencies());

        keyboard->onPost = [this](platform::SimulatedKey key, bool down) {
            if (key == platform::SimulatedKey::c && down) pasteboard->copyFromOtherProgram(otherSelection);
        };
        workspace->frontmost = kEditor;
        pasteboard->copyFromOtherProgram("user's copy");
    }

    ~HotkeyManagerTest() override {
        manager.reset();
        TextReplacer::resetForTesting();
        GlobalShortcuts::resetForTesting();
        CarbonGlobalShortcuts::setBackend(nullptr);
        platform::MainLoop::setMain(nullptr);
        platform::UserDefaults::setStandard(std::make_shared<platform::InMemoryUserDefaults>());
    }

    void make() {
        FloatingWindowManager::Environment environment;
        environment.makeWindow = [this](std::unique_ptr<QWidget>) -> std::unique_ptr<PanelWindow> {
            auto window = std::make_unique<ShownFlagWindow>();
            lastWindow = window.get();
            return window;
        };
        environment.pointerPosition = [] { return QPoint(10, 10); };
        environment.visibleFrame = [] { return std::optional<QRect>(QRect(0, 0, 1280, 800)); };
        environment.loop = loop;
        auto windows = std::make_unique<FloatingWindowManager>(settings, std::move(environment));
        windows->setViewFactory([this](PanelViewContext context) -> std::unique_ptr<QWidget> {
            modes.emplace_back(context.startWithVoiceInput, context.startWithChat);
            // The panel reads the selection when it is shown, after the
            // manager let go of the panel it replaces.
            loop->post([this] { selections.push_back(TextReplacer::getSelectedText().value_or("<none>")); });
            return nullptr;
        });
        manager = std::make_unique<HotkeyManager>(
            *accessibilityManager,
            HotkeyManager::Dependencies{loop, std::move(windows), services()});
        TextReplacer::setPanelWindowCheck([](platform::WindowId window) { return window == kOurPanel.window; });
    }

    // A press of the combination, and the main loop's turn after it.
    void press(HotKeyCombination combination) {
        backend->press(combination);
        backend->release(combination);
        loop->runPending();
    }

    bool panelShown() const { return manager->windowManager().state() == FloatingWindowManager::State::panelVisible; }

    static inline std::shared_ptr<platform::InMemoryUserDefaults> suiteDefaults;
    core::Analytics analyticsEvents;
    core::Settings settings{defaults, analyticsEvents};
    std::shared_ptr<platform::InMemoryHotKeyBackend> backend = std::make_shared<platform::InMemoryHotKeyBackend>();
    std::unique_ptr<AccessibilityManager> accessibilityManager;
    std::string otherSelection = "selected words";
    std::unique_ptr<HotkeyManager> manager;
    ShownFlagWindow* lastWindow = nullptr;
    std::vector<std::pair<bool, bool>> modes;
    std::vector<std::string> selections;
};

TEST_F(HotkeyManagerTest, TheFourShortcutsAreRegisteredInOrderWithSuperShiftDefaults) {
    testsupport::LogCapture log;
    make();
    EXPECT_EQ(log.messages(), (std::vector<std::string>{"Initializing HotkeyManager", "Setting up keyboard shortcuts..."}));
    const std::vector<std::pair<const GlobalShortcuts::Name*, HotKeyCombination>> expected = {
        {&HotkeyManager::toggleQuillary(), kSpace},
        {&HotkeyManager::toggleVoiceInput(), kV},
        {&HotkeyManager::toggleChatMode(), kC},
        {&HotkeyManager::toggleChatVoiceMode(), kB}};
    const auto registered = GlobalShortcuts::registeredShortcuts();
    ASSERT_EQ(registered.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const auto& [name, combination] = expected[i];
        EXPECT_EQ(registered[i].carbonKeyCode(), combination.keyCode) << name->rawValue();
        EXPECT_EQ(registered[i].carbonModifiers(), combination.modifiers) << name->rawValue();
        EXPECT_TRUE(backend->isGrabbed(combination)) << name->rawValue();
        EXPECT_EQ(name->userDefaultsKey(), "GlobalShortcuts_" + name->rawValue());
    }
}

TEST_F(HotkeyManagerTest, APressOnlyQueuesItsActionWhichCapturesAndThenOpensThePanel) {
    make();
    backend->press(kSpace);
    EXPECT_EQ(keyboard->events.size(), 0u);
    EXPECT_FALSE(panelShown());

    loop->runPending();
    EXPECT_TRUE(panelShown());
    EXPECT_EQ(modes, (std::vector<std::pair<bool, bool>>{{false, false}}));
    EXPECT_EQ(selections, std::vector<std::string>{"selected words"});
    EXPECT_EQ(TextReplacer::lastActiveApp(), kEditor);
    backend->release(kSpace);
    loop->runPending();
    EXPECT_EQ(modes.size(), 1u) << "a release does nothing";
}

TEST_F(HotkeyManagerTest, ThePressHoldsTheKeyboardUntilThePanelTakesItAndNoPanelLetsGoAtOnce) {
    backend->journal = platform::makeEventJournal();
    make();
    backend->press(kSpace);
    EXPECT_TRUE(backend->holdsKeyboard()) << "taken in the press's own handler, before the action runs";
    loop->runPending();
    ASSERT_TRUE(panelShown());
    EXPECT_EQ(*backend->journal, (std::vector<std::string>{"hold keyboard", "end keyboard hold after 3000ms"}));
    backend->endKeyboardHold();  // the panel took the keyboard
    backend->release(kSpace);

    // The shortcut over the open panel closes it: the held keys go nowhere.
    backend->journal->clear();
    workspace->frontmost = kOurPanel;
    press(kSpace);
    EXPECT_FALSE(panelShown());
    EXPECT_EQ(*backend->journal, (std::vector<std::string>{"hold keyboard", "end keyboard hold"}));
}

TEST_F(HotkeyManagerTest, AnEscapeBeforeThePanelStopsTheCopiesOpensNoPanelAndTheKeysAfterItGoToTheProgram) {
    backend->journal = platform::makeEventJournal();
    make();
    otherSelection = "user's copy";  // the copies change nothing: three would be tried
    int copies = 0;
    keyboard->onPost = [&](platform::SimulatedKey k, bool down) { copies += k == platform::SimulatedKey::c && down; };
    // "a", Escape, "b" typed while the first copy settles.
    sleeper->onSleep = [&](std::chrono::milliseconds wait) {
        if (wait == std::chrono::milliseconds(300) && copies == 1) backend->heldKeys = kTypedA + kTypedEscape + kTypedB;
    };
    pasteboard->copyFromOtherProgram("user's copy");
    backend->press(kSpace);
    loop->runPending();

    EXPECT_EQ(copies, 1) << "no copy key after the Escape";
    EXPECT_FALSE(panelShown());
    EXPECT_TRUE(modes.empty());
    EXPECT_EQ(pasteboard->string(), "user's copy");
    EXPECT_EQ(*backend->journal,
              (std::vector<std::string>{"hold keyboard", "end keyboard hold typing: 56 down, 56 up"}));
}

// "s" pressed right after the hold saw every key up: typed on after "b" as
// it came, not dropped as a key still held at the hold's bound.
TEST_F(HotkeyManagerTest, AKeyPressedAsTheHoldLetsGoFollowsTheOthers) {
    backend->journal = platform::makeEventJournal();
    make();
    int copies = 0;
    keyboard->onPost = [&](platform::SimulatedKey k, bool down) { copies += k == platform::SimulatedKey::c && down; };
    bool typed = false, late = false;
    sleeper->onSleep = [&](std::chrono::milliseconds wait) {
        if (wait == std::chrono::milliseconds(300) && copies == 1 && !typed) {
            backend->heldKeys = kTypedA + kTypedEscape + kTypedB;
            typed = true;
        }
    };
    keyboard->keysDown = [&] {
        if (typed && backend->heldKeys.empty() && !std::exchange(late, true)) backend->heldKeys = {kTypedS[0]};
        return false;
    };
    pasteboard->copyFromOtherProgram("user's copy");
    backend->press(kSpace);
    loop->runPending();

    ASSERT_TRUE(late);
    EXPECT_EQ(backend->journal->back(), "end keyboard hold typing: 56 down, 56 up; then: 39 down");
}

TEST_F(HotkeyManagerTest, AShortcutAmongTheKeptKeysRunsAtItsPlaceAndTheKeysAfterItWaitForIt) {
    backend->journal = platform::makeEventJournal();
    backend->hotKeyCodes[kSpaceCode] = kSpace;
    make();
    // Open, then close at once, then "s", all before the panel has the keys.
    backend->press(kSpace);
    backend->heldKeys = kTypedA + kSpaceAgain + kTypedS;
    loop->runPending();
    ASSERT_TRUE(panelShown());
    auto* opened = lastWindow;
    workspace->frontmost = kOurPanel;
    opened->onReady();
    EXPECT_EQ(opened->typed, kTypedA) << "the keys before the shortcut go to the panel";
    // The panel's close gives the keyboard back to the editor.
    sleeper->onSleep = [&](auto) { workspace->frontmost = kEditor; };
    loop->runPending();

    EXPECT_FALSE(panelShown());
    EXPECT_EQ(modes.size(), 1u);
    EXPECT_EQ(backend->journal->back(), "end keyboard hold typing: 39 down, 39 up");
}

TEST_F(HotkeyManagerTest, KeysKeptBeforeTheGrabWasLostGoWithTheirHoldNeverToALaterPanel) {
    backend->journal = platform::makeEventJournal();
    backend->refuseRegrab = true;
    make();
    // The copy key goes through the hold, which cannot be taken back.
    keyboard->onPost = [&](platform::SimulatedKey k, bool down) {
        if (k == platform::SimulatedKey::c && down) {
            backend->typeThroughHold({});
            pasteboard->copyFromOtherProgram(otherSelection);
        }
    };
    backend->press(kSpace);
    backend->heldKeys = kTypedA;
    loop->runPending();
    ASSERT_TRUE(panelShown());
    EXPECT_EQ(backend->journal->back(), "end keyboard hold after 3000ms") << "the kept keys are bounded too";

    // That panel closes before it had them; one opened from the tray later
    // gets nothing.
    manager->windowManager().toggleWindow();
    manager->windowManager().showWindow(false, false);
    lastWindow->onReady();
    EXPECT_TRUE(lastWindow->typed.empty());
    EXPECT_EQ(backend->journal->back(), "end keyboard hold");
}

TEST_F(HotkeyManagerTest, WithoutTrustEveryShortcutOnlyOpensThePermissionWindow) {
    trust->trusted = false;
    make();
    for (const auto combination : {kSpace, kV, kC, kB}) press(combination);
    EXPECT_EQ(windows->calls, (std::vector<std::string>{"show 1", "show 1", "show 1", "show 1"}));
    EXPECT_TRUE(modes.empty());
    EXPECT_TRUE(keyboard->events.empty());
    EXPECT_EQ(pasteboard->writes, 0);
    EXPECT_EQ(pasteboard->string(), "user's copy");
    EXPECT_EQ(TextReplacer::lastActiveApp(), std::nullopt);
}

TEST_F(HotkeyManagerTest, TheMainShortcutOverTheOpenPanelClosesItAndGivesTheClipboardBack) {
    make();
    press(kSpace);
    ASSERT_TRUE(panelShown());
    ASSERT_EQ(pasteboard->string(), "selected words");

    workspace->frontmost = kOurPanel;
    keyboard->events.clear();
    press(kSpace);
    EXPECT_FALSE(panelShown());
    EXPECT_TRUE(keyboard->events.empty()) << "no copy is typed into our own panel";
    EXPECT_EQ(TextReplacer::lastActiveApp(), kEditor);
    EXPECT_EQ(pasteboard->string(), "user's copy");

    // Over another program the capture runs first and remembers it.
    press(kSpace);
    ASSERT_TRUE(panelShown());
    workspace->frontmost = platform::RunningApplication{1003, "Kate", "kate", 0x700001};
    press(kSpace);
    EXPECT_FALSE(panelShown());
    EXPECT_EQ(TextReplacer::lastActiveApp()->localizedName, "Kate");
}

TEST_F(HotkeyManagerTest, AModeShortcutReplacesTheOpenPanelAndKeepsTheSelection) {
    make();
    press(kC);  // chat
    workspace->frontmost = kOurPanel;
    press(kV);  // voice, over the chat panel
    EXPECT_EQ(modes, (std::vector<std::pair<bool, bool>>{{false, true}, {true, false}}));
    EXPECT_TRUE(panelShown());
    EXPECT_EQ(selections, (std::vector<std::string>{"selected words", "selected words"}));
    EXPECT_EQ(pasteboard->string(), "selected words");
    press(kB);
    EXPECT_EQ(modes.back(), std::make_pair(true, true));

    // Closed for good by the main shortcut: the user's copy is back.
    press(kSpace);
    EXPECT_FALSE(panelShown());
    EXPECT_EQ(pasteboard->string(), "user's copy");
}

TEST_F(HotkeyManagerTest, APressDuringTheWaitsOfAnEarlierActionRunsAfterItOnce) {
    make();
    std::vector<std::string> order;
    int pressesDuringWaits = 0;
    sleeper->onSleep = [&](auto) {
        if (pressesDuringWaits++ == 0) {
            backend->press(kV);
            backend->release(kV);
        }
    };
    keyboard->onPost = [&](platform::SimulatedKey key, bool down) {
        if (key == platform::SimulatedKey::c && down) order.push_back(modes.empty() ? "copy 1" : "copy 2");
        if (key == platform::SimulatedKey::c && down) pasteboard->copyFromOtherProgram(otherSelection);
    };
    backend->press(kSpace);
    loop->runPending();
    EXPECT_EQ(order, (std::vector<std::string>{"copy 1", "copy 2"}));
    EXPECT_EQ(modes, (std::vector<std::pair<bool, bool>>{{false, false}, {true, false}}));
}

TEST_F(HotkeyManagerTest, APressAfterTheManagerIsGoneDoesNothing) {
    make();
    backend->press(kSpace);  // queued
    manager.reset();
    loop->runPending();
    backend->release(kSpace);
    press(kV);
    EXPECT_TRUE(modes.empty());
    EXPECT_TRUE(keyboard->events.empty());
}

}  // namespace
}  // namespace desktop
