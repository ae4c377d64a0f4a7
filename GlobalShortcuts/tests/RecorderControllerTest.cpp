#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Fixture.h"
#include "GlobalShortcuts/ModifierFlags.h"
#include "GlobalShortcuts/RecorderController.h"
#include "platform/NotificationCenter.h"

using namespace GlobalShortcuts;
namespace Flags = GlobalShortcuts::ModifierFlags;

namespace {

const Shortcut kCommandShiftSpace(Key::space, Flags::command | Flags::shift);

// A control 100 x 20 at the screen's origin whose focus is what the
// controller says it asked for, as a real one's would be.
class FakeView final : public RecorderView {
public:
    RecorderController* controller = nullptr;
    bool focused = false;
    int beeps = 0;
    int focusPassedOn = 0;
    std::vector<Alert> alerts;
    std::vector<bool> focusedDuringAlerts;
    std::deque<int> answers;               // scripted alert answers; first button when none left
    std::function<void()> duringAlert;     // runs while an alert is up

    void recorderStateChanged() override {}
    void blur() override {
        if (!focused)
            return;
        focused = false;
        controller->endRecording();
    }
    void focus() override {
        if (focused)
            return;
        focused = true;
        controller->beginRecording();
    }
    void focusNext() override {
        ++focusPassedOn;
        blur();
    }
    bool isNear(double x, double y, double margin) const override {
        return x >= -margin && x <= 100 + margin && y >= -margin && y <= 20 + margin;
    }
    int runAlert(const Alert& alert) override {
        alerts.push_back(alert);
        focusedDuringAlerts.push_back(focused);
        if (duringAlert)
            duringAlert();
        if (answers.empty())
            return Alert::firstButtonReturn;
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void beep() override { ++beeps; }
};

class RecorderControllerTest : public ShortcutsFixture {
protected:
    void SetUp() override {
        ShortcutsFixture::SetUp();
        statusObserver = platform::NotificationCenter::defaultCenter().addObserver(
            std::string(kRecorderActiveStatusDidChange), [this](const platform::Notification& notification) {
                const auto* active = notification.value<bool>("isActive");
                statuses.push_back(active && *active);
            });
    }
    void TearDown() override {
        controller.reset();
        statusObserver.reset();
        setMainMenu(std::nullopt);
        ShortcutsFixture::TearDown();
    }

    RecorderController& make(const Name& name, RecorderSystem system = {}) {
        controller = std::make_unique<RecorderController>(
            view, name, [this](const std::optional<Shortcut>& shortcut) { changes.push_back(shortcut); },
            std::move(system));
        view.controller = controller.get();
        return *controller;
    }

    // Presses a key while the application's monitors watch; returns whether
    // the key went on to the application.
    static bool key(Key key, std::int64_t flags = 0) {
        return ApplicationEvents::dispatch(Event{Event::keyDown, key.rawValue, flags, false}).has_value();
    }
    static bool click(double x, double y, int type = Event::leftMouseUp) {
        return ApplicationEvents::dispatch(Event{type, 0, 0, false, x, y}).has_value();
    }

    FakeView view;
    std::unique_ptr<RecorderController> controller;
    std::vector<std::optional<Shortcut>> changes;
    std::vector<bool> statuses;
    platform::ObserverToken statusObserver;
};

// What it shows

TEST_F(RecorderControllerTest, ShowsTheStoredShortcutAndFollowsItsName) {
    const Name name("toggleQuillary", kCommandShiftSpace);
    auto& recorder = make(name);
    EXPECT_EQ(recorder.text(), "⇧⌘Space");
    EXPECT_TRUE(recorder.showsClearButton());
    EXPECT_EQ(recorder.placeholder(), "Record Shortcut");

    // Stored by other code: shown at once. Another name's change: ignored.
    setShortcut(Shortcut(Key::k, Flags::control | Flags::option), name);
    EXPECT_EQ(recorder.text(), "⌃⌥K");
    const Name other = Name::fromRawValue("other");
    setShortcut(Shortcut(Key::j, Flags::control), other);
    EXPECT_EQ(recorder.text(), "⌃⌥K");

    // The same raw value with another default changes nothing shown, even
    // though what is stored changed meanwhile without a notice.
    defaults->setString("GlobalShortcuts_toggleQuillary", Shortcut(Key::l, Flags::command).toJson());
    recorder.setShortcutName(Name::fromRawValue("toggleQuillary"));
    EXPECT_EQ(recorder.text(), "⌃⌥K");
    recorder.setShortcutName(other);
    EXPECT_EQ(recorder.text(), "⌃J");

    recorder.setShortcutName(Name::fromRawValue("nothingStored"));
    EXPECT_EQ(recorder.text(), "");
    EXPECT_FALSE(recorder.showsClearButton());
}

TEST_F(RecorderControllerTest, RecordingPausesEveryGlobalShortcutUntilItEnds) {
    const Name name("toggleQuillary", kCommandShiftSpace);
    int fired = 0;
    onKeyDown(name, [&] { ++fired; });
    auto& recorder = make(Name::fromRawValue("other"));

    view.focus();
    EXPECT_TRUE(recorder.isRecording());
    EXPECT_TRUE(isPaused());
    EXPECT_EQ(recorder.placeholder(), "Press Shortcut");
    press(kCommandShiftSpace);
    EXPECT_EQ(fired, 0);

    view.blur();
    EXPECT_FALSE(recorder.isRecording());
    EXPECT_FALSE(isPaused());
    EXPECT_EQ(recorder.placeholder(), "Record Shortcut");
    EXPECT_EQ(ApplicationEvents::monitorCount(), 0u);
    press(kCommandShiftSpace);
    EXPECT_EQ(fired, 1);

    // Every end announces itself, also one without a recording.
    recorder.endRecording();
    EXPECT_EQ(statuses, (std::vector<bool>{true, false, false}));
}

TEST_F(RecorderControllerTest, ARecorderDestroyedWhileRecordingLeavesNothingPaused) {
    make(Name::fromRawValue("a"));
    view.focus();
    controller.reset();
    EXPECT_FALSE(isPaused());
    EXPECT_EQ(ApplicationEvents::monitorCount(), 0u);
    EXPECT_EQ(statuses, (std::vector<bool>{true, false}));
}

// Which keys it takes

TEST_F(RecorderControllerTest, AModifiedKeyIsStoredShownReportedAndEndsRecording) {
    const Name name = Name::fromRawValue("toggleChatMode");
    auto& recorder = make(name);
    view.focus();
    const Shortcut expected(Key::k, Flags::command | Flags::shift);

    EXPECT_FALSE(key(Key::k, Flags::command | Flags::shift | Flags::capsLock));
    EXPECT_EQ(getShortcut(name), expected);
    EXPECT_EQ(recorder.text(), "⇧⌘K");
    EXPECT_TRUE(recorder.showsClearButton());
    EXPECT_EQ(changes, (std::vector<std::optional<Shortcut>>{expected}));
    EXPECT_FALSE(view.focused);
    EXPECT_FALSE(isPaused());
    EXPECT_TRUE(desktop->isGrabbed(combo(expected)));
    // Recording is over: keys reach the application again.
    EXPECT_TRUE(key(Key::j, Flags::command));
}

TEST_F(RecorderControllerTest, KeysWithoutARealModifierMustBeFunctionKeys) {
    const Name name = Name::fromRawValue("a");
    make(name);
    view.focus();
    EXPECT_FALSE(key(Key::a));
    EXPECT_FALSE(key(Key::a, Flags::shift));
    EXPECT_FALSE(key(Key::rightArrow, Flags::function));
    EXPECT_FALSE(key(Key::tab, Flags::shift));  // Shift+Tab is a candidate like any other
    EXPECT_FALSE(key(Key::space));
    EXPECT_EQ(view.beeps, 5);
    EXPECT_EQ(getShortcut(name), std::nullopt);
    EXPECT_TRUE(view.focused);
    EXPECT_TRUE(changes.empty());

    // Fn+F5 is stored as plain F5.
    EXPECT_FALSE(key(Key::f5, Flags::function));
    EXPECT_EQ(getShortcut(name), Shortcut(Key::f5, 0));
    view.focus();
    EXPECT_FALSE(key(Key::f6, Flags::shift));
    EXPECT_EQ(getShortcut(name), Shortcut(Key::f6, Flags::shift));
    EXPECT_EQ(view.beeps, 5);
}

TEST_F(RecorderControllerTest, EscapeAndTabEndRecordingWithoutChangingAnything) {
    const Name name("toggleQuillary", kCommandShiftSpace);
    auto& recorder = make(name);

    view.focus();
    EXPECT_FALSE(key(Key::escape));
    EXPECT_FALSE(recorder.isRecording());
    EXPECT_FALSE(isPaused());

    view.focus();
    EXPECT_FALSE(key(Key::tab));  // focus has moved on already
    EXPECT_EQ(view.focusPassedOn, 1);
    EXPECT_FALSE(recorder.isRecording());
    EXPECT_EQ(getShortcut(name), kCommandShiftSpace);
    EXPECT_TRUE(changes.empty());

    // With a modifier, Escape is a candidate.
    view.focus();
    EXPECT_FALSE(key(Key::escape, Flags::command));
    EXPECT_EQ(getShortcut(name), Shortcut(Key::escape, Flags::command));
}

TEST_F(RecorderControllerTest, DeleteClearsAndKeepsRecording) {
    const Name withDefault("toggleQuillary", kCommandShiftSpace);
    auto& recorder = make(withDefault);
    view.focus();
    EXPECT_FALSE(key(Key::delete_));
    EXPECT_EQ(getShortcut(withDefault), std::nullopt);
    EXPECT_EQ(defaults->object("GlobalShortcuts_toggleQuillary"), platform::DefaultsValue(false));
    EXPECT_FALSE(desktop->isGrabbed(combo(kCommandShiftSpace)));
    EXPECT_EQ(recorder.text(), "");
    EXPECT_FALSE(recorder.showsClearButton());
    EXPECT_TRUE(recorder.isRecording());
    EXPECT_EQ(changes, (std::vector<std::optional<Shortcut>>{std::nullopt}));

    // Nothing left to clear: the key is only swallowed.
    EXPECT_FALSE(key(Key::deleteForward));
    EXPECT_EQ(changes.size(), 1u);

    // A name without a default loses its entry.
    const Name plain = Name::fromRawValue("plain");
    setShortcut(Shortcut(Key::p, Flags::command), plain);
    recorder.setShortcutName(plain);
    EXPECT_FALSE(key(Key::deleteForward));
    EXPECT_FALSE(defaults->contains("GlobalShortcuts_plain"));
    EXPECT_TRUE(recorder.isRecording());
}

TEST_F(RecorderControllerTest, TheClearButtonWhileIdleClearsThenRecords) {
    const Name name = Name::fromRawValue("a");
    setShortcut(Shortcut(Key::p, Flags::command), name);
    auto& recorder = make(name);
    recorder.clear();
    EXPECT_EQ(getShortcut(name), std::nullopt);
    EXPECT_EQ(changes, (std::vector<std::optional<Shortcut>>{std::nullopt}));
    EXPECT_TRUE(view.focused);
    EXPECT_TRUE(recorder.isRecording());
}

TEST_F(RecorderControllerTest, ClicksNearTheControlAreSwallowedOthersEndRecordingAndGoOn) {
    auto& recorder = make(Name::fromRawValue("a"));
    view.focus();
    EXPECT_FALSE(click(50, 10));
    EXPECT_FALSE(click(103, -3));               // 3 points out: still on it
    EXPECT_FALSE(click(-3, 23, Event::rightMouseUp));
    EXPECT_TRUE(recorder.isRecording());
    EXPECT_TRUE(click(103.5, 10));              // further out: goes to its target
    EXPECT_FALSE(recorder.isRecording());
    EXPECT_FALSE(isPaused());
}

// What it refuses

TEST_F(RecorderControllerTest, AMainMenuKeyEquivalentIsRefusedWithTheItemsTitle) {
    const Name name = Name::fromRawValue("a");
    setMainMenu(std::vector<MenuItem>{{"Quillary", "", 0, {{"Preferences...", ",", Flags::command, {}}}}});
    auto& recorder = make(name);
    view.focus();
    EXPECT_FALSE(key(Key::comma, Flags::command));
    ASSERT_EQ(view.alerts.size(), 1u);
    EXPECT_EQ(view.alerts[0],
              Alert("This keyboard shortcut cannot be used as it's already used by the “Preferences...” menu item."));
    EXPECT_FALSE(view.focusedDuringAlerts[0]);
    EXPECT_EQ(getShortcut(name), std::nullopt);
    // Focus comes back, and with it a new recording.
    EXPECT_TRUE(recorder.isRecording());
    EXPECT_TRUE(isPaused());
    EXPECT_EQ(statuses, (std::vector<bool>{true, false, true}));
}

TEST_F(RecorderControllerTest, SystemReservedShortcutsNeedTheUsersWordAndF12IsNeverReserved) {
    const Name name = Name::fromRawValue("a");
    const Shortcut terminal(Key::t, Flags::control | Flags::option);
    desktop->occupy(combo(terminal));
    desktop->occupy(combo(Shortcut(Key::f12, 0)));
    make(name);

    view.focus();
    view.answers = {Alert::firstButtonReturn};
    EXPECT_FALSE(key(Key::t, Flags::control | Flags::option));
    ASSERT_EQ(view.alerts.size(), 1u);
    EXPECT_EQ(view.alerts[0], Alert("This keyboard shortcut cannot be used as it's already a system-wide keyboard shortcut.",
                                    "Most system-wide keyboard shortcuts can be changed in the keyboard settings of your desktop.",
                                    AlertStyle::warning, {"OK", "Use Anyway"}));
    EXPECT_EQ(getShortcut(name), std::nullopt);
    EXPECT_TRUE(view.focused);

    view.answers = {Alert::secondButtonReturn};
    EXPECT_FALSE(key(Key::t, Flags::control | Flags::option));
    EXPECT_EQ(getShortcut(name), terminal);
    EXPECT_FALSE(view.focused);

    view.focus();
    EXPECT_FALSE(key(Key::f12));
    EXPECT_EQ(getShortcut(name), Shortcut(Key::f12, 0));
    EXPECT_EQ(view.alerts.size(), 2u);
}

TEST_F(RecorderControllerTest, OptionOnlyShortcutsAreRefusedOnlyInTheSandboxOfTheAffectedReleases) {
    const Name name = Name::fromRawValue("a");
    const auto attempt = [&](RecorderSystem system, std::int64_t flags) {
        view.alerts.clear();
        setShortcut(std::nullopt, name);
        make(name, std::move(system));
        view.focused = false;
        view.focus();
        key(Key::a, flags);
        view.blur();
        return view.alerts.empty() && getShortcut(name).has_value();
    };
    RecorderSystem affected;
    affected.macOSVersion = SystemVersion{15, 1};
    affected.isSandboxed = true;
    EXPECT_FALSE(attempt(affected, Flags::option));
    ASSERT_EQ(view.alerts.size(), 1u);
    EXPECT_EQ(view.alerts[0].title, "Keyboard shortcuts with Option as the only modifier are not allowed.");
    EXPECT_FALSE(attempt(affected, Flags::option | Flags::shift));
    EXPECT_TRUE(attempt(affected, Flags::option | Flags::control));

    RecorderSystem fixed = affected;
    fixed.macOSVersion = SystemVersion{15, 2};
    EXPECT_TRUE(attempt(fixed, Flags::option));
    RecorderSystem outside = affected;
    outside.isSandboxed = false;
    EXPECT_TRUE(attempt(outside, Flags::option));
    RecorderSystem linux;  // no macOS version at all
    linux.isSandboxed = true;
    EXPECT_TRUE(attempt(linux, Flags::option));
}

// Recorders that go away under their own feet

TEST_F(RecorderControllerTest, ARecorderDestroyedDuringAnAlertOrItsCallbackIsLeftAlone) {
    const Name name = Name::fromRawValue("a");
    setMainMenu(std::vector<MenuItem>{{"Quit", "q", Flags::command, {}}});
    make(name);
    view.focus();
    view.duringAlert = [&] { controller.reset(); };
    EXPECT_FALSE(key(Key::q, Flags::command));
    EXPECT_FALSE(isPaused());
    EXPECT_EQ(ApplicationEvents::monitorCount(), 0u);

    view.duringAlert = nullptr;
    controller = std::make_unique<RecorderController>(view, name, [&](const std::optional<Shortcut>&) {
        controller.reset();
    });
    view.controller = controller.get();
    view.focused = false;
    view.focus();
    EXPECT_FALSE(key(Key::k, Flags::command));
    EXPECT_EQ(getShortcut(name), Shortcut(Key::k, Flags::command));
    EXPECT_FALSE(isPaused());
}

}  // namespace
