#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Fixture.h"
#include "GlobalShortcuts/ModifierFlags.h"
#include "GlobalShortcuts/RecorderController.h"

using namespace GlobalShortcuts;
namespace Flags = GlobalShortcuts::ModifierFlags;

namespace {

const Shortcut kCommandShiftSpace(Key::space, Flags::command | Flags::shift);

// A control 100 x 20 at the screen's origin whose focus follows what the
// controller asks for, as a real one's does.
class FakeView final : public RecorderView {
public:
    RecorderController* controller = nullptr;
    bool focused = false;
    int beeps = 0;
    std::vector<Alert> alerts;
    std::deque<int> answers;            // first button when none is left
    std::function<void()> duringAlert;  // runs while an alert is up

    void recorderStateChanged() override {}
    void blur() override {
        if (std::exchange(focused, false))
            controller->endRecording();
    }
    void focus() override {
        if (!std::exchange(focused, true))
            controller->beginRecording();
    }
    void focusNext() override { blur(); }
    bool isNear(double x, double y, double margin) const override {
        return x >= -margin && x <= 100 + margin && y >= -margin && y <= 20 + margin;
    }
    int runAlert(const Alert& alert) override {
        EXPECT_FALSE(focused) << "focus is given up while an alert is up";
        alerts.push_back(alert);
        if (duringAlert)
            duringAlert();
        const int answer = answers.empty() ? Alert::firstButtonReturn : answers.front();
        if (!answers.empty())
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
        view.focused = false;
        return *controller;
    }

    // A key press or mouse release while the application's monitors watch;
    // true when it goes on to the application.
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

TEST_F(RecorderControllerTest, ShowsTheStoredShortcutOfItsNameWhoeverStoresIt) {
    const Name name("toggleQuillary", kCommandShiftSpace);
    auto& recorder = make(name);
    EXPECT_EQ(recorder.text(), "⇧⌘Space");
    EXPECT_TRUE(recorder.showsClearButton());
    EXPECT_EQ(recorder.placeholder(), "Record Shortcut");

    setShortcut(Shortcut(Key::k, Flags::control | Flags::option), name);
    EXPECT_EQ(recorder.text(), "⌃⌥K");
    const Name other = Name::fromRawValue("other");
    setShortcut(Shortcut(Key::j, Flags::control), other);
    EXPECT_EQ(recorder.text(), "⌃⌥K");

    // The same raw value (another default) is the same name: nothing is read.
    defaults->setString("GlobalShortcuts_toggleQuillary", Shortcut(Key::l, Flags::command).toJson());
    recorder.setShortcutName(Name::fromRawValue("toggleQuillary"));
    EXPECT_EQ(recorder.text(), "⌃⌥K");
    recorder.setShortcutName(other);
    EXPECT_EQ(recorder.text(), "⌃J");
    recorder.setShortcutName(Name::fromRawValue("nothingStored"));
    EXPECT_EQ(recorder.text(), "");
    EXPECT_FALSE(recorder.showsClearButton());
}

TEST_F(RecorderControllerTest, RecordingPausesEveryGlobalShortcutUntilItEndsHoweverItEnds) {
    const Name name("toggleQuillary", kCommandShiftSpace);
    int fired = 0;
    onKeyDown(name, [&] { ++fired; });
    auto& recorder = make(Name::fromRawValue("other"));

    view.focus();
    EXPECT_TRUE(isPaused());
    EXPECT_EQ(recorder.placeholder(), "Press Shortcut");
    press(kCommandShiftSpace);
    EXPECT_EQ(fired, 0);
    view.blur();
    EXPECT_FALSE(isPaused());
    EXPECT_EQ(recorder.placeholder(), "Record Shortcut");
    EXPECT_EQ(ApplicationEvents::monitorCount(), 0u);
    press(kCommandShiftSpace);
    EXPECT_EQ(fired, 1);
    recorder.endRecording();  // announced even without a recording

    view.focus();
    controller.reset();  // destroyed while recording
    EXPECT_FALSE(isPaused());
    EXPECT_EQ(ApplicationEvents::monitorCount(), 0u);
    EXPECT_EQ(statuses, (std::vector<bool>{true, false, false, true, false}));
}

// Each key press while recording: what it stores, whether it beeps, whether
// recording goes on. The first rule that applies decides.
TEST_F(RecorderControllerTest, KeysAreTakenRefusedOrEndRecordingByTheirModifiers) {
    struct Case {
        const char* what;
        Key key;
        std::int64_t flags;
        std::optional<Shortcut> stored;  // none: nothing changes
        bool beeps;
        bool recordsOn;
    };
    const Case cases[] = {
        {"modified letter", Key::k, Flags::command | Flags::shift | Flags::capsLock,
         Shortcut(Key::k, Flags::command | Flags::shift), false, false},
        {"letter alone", Key::a, 0, {}, true, true},
        {"shifted letter", Key::a, Flags::shift, {}, true, true},
        {"caps-locked letter", Key::a, Flags::capsLock, {}, true, true},
        {"arrow alone", Key::rightArrow, Flags::function, {}, true, true},
        {"Shift+Tab", Key::tab, Flags::shift, {}, true, true},
        {"F5 alone", Key::f5, 0, Shortcut(Key::f5, 0), false, false},
        {"Fn+F5 drops Fn", Key::f5, Flags::function, Shortcut(Key::f5, 0), false, false},
        {"Shift+F6", Key::f6, Flags::shift, Shortcut(Key::f6, Flags::shift), false, false},
        {"Escape", Key::escape, 0, {}, false, false},
        {"Tab", Key::tab, 0, {}, false, false},
        {"Command+Escape", Key::escape, Flags::command, Shortcut(Key::escape, Flags::command), false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Name name = Name::fromRawValue(c.what);
        changes.clear();
        view.beeps = 0;
        make(name);
        view.focus();
        EXPECT_FALSE(key(c.key, c.flags)) << "never passed on";
        EXPECT_EQ(getShortcut(name), c.stored);
        EXPECT_EQ(changes, c.stored ? std::vector<std::optional<Shortcut>>{c.stored} : decltype(changes){});
        EXPECT_EQ(view.beeps, c.beeps ? 1 : 0);
        EXPECT_EQ(controller->isRecording(), c.recordsOn);
        EXPECT_EQ(isPaused(), c.recordsOn);
        if (c.stored) {
            EXPECT_EQ(controller->text(), c.stored->description());
            EXPECT_TRUE(desktop->isGrabbed(combo(*c.stored)));
        }
    }
}

TEST_F(RecorderControllerTest, DeleteAndTheClearButtonClearAndKeepRecording) {
    const Name withDefault("toggleQuillary", kCommandShiftSpace);
    auto& recorder = make(withDefault);
    view.focus();
    EXPECT_FALSE(key(Key::delete_));
    EXPECT_EQ(defaults->object("GlobalShortcuts_toggleQuillary"), platform::DefaultsValue(false));
    EXPECT_FALSE(desktop->isGrabbed(combo(kCommandShiftSpace)));
    EXPECT_EQ(recorder.text(), "");
    EXPECT_FALSE(recorder.showsClearButton());
    EXPECT_TRUE(recorder.isRecording());
    EXPECT_FALSE(key(Key::deleteForward));  // nothing left to clear
    EXPECT_EQ(changes, (std::vector<std::optional<Shortcut>>{std::nullopt}));

    // The button while idle: a name without default loses its entry, then
    // the control records.
    const Name plain = Name::fromRawValue("plain");
    setShortcut(Shortcut(Key::p, Flags::command), plain);
    view.blur();
    recorder.setShortcutName(plain);
    recorder.clear();
    EXPECT_FALSE(defaults->contains("GlobalShortcuts_plain"));
    EXPECT_EQ(changes.size(), 2u);
    EXPECT_TRUE(recorder.isRecording());
}

TEST_F(RecorderControllerTest, ClicksWithinThreePointsAreSwallowedOthersEndRecordingAndGoOn) {
    auto& recorder = make(Name::fromRawValue("a"));
    view.focus();
    EXPECT_FALSE(click(50, 10));
    EXPECT_FALSE(click(103, -3));
    EXPECT_FALSE(click(-3, 23, Event::rightMouseUp));
    EXPECT_TRUE(recorder.isRecording());
    EXPECT_TRUE(click(103.5, 10));
    EXPECT_FALSE(recorder.isRecording());
}

TEST_F(RecorderControllerTest, MenuAndSystemConflictsAreRefusedWithAnAlertThenRecordingGoesOn) {
    const Name name = Name::fromRawValue("a");
    setMainMenu(std::vector<MenuItem>{{"Quillary", "", 0, {{"Preferences...", ",", Flags::command, {}}}}});
    const Shortcut terminal(Key::t, Flags::control | Flags::option);
    desktop->occupy(combo(terminal));
    desktop->occupy(combo(Shortcut(Key::f12, 0)));
    auto& recorder = make(name);
    view.focus();

    EXPECT_FALSE(key(Key::comma, Flags::command));
    EXPECT_FALSE(key(Key::t, Flags::control | Flags::option));  // answered "OK"
    ASSERT_EQ(view.alerts.size(), 2u);
    EXPECT_EQ(view.alerts[0],
              Alert("This keyboard shortcut cannot be used as it's already used by the “Preferences...” menu item."));
    EXPECT_EQ(view.alerts[1],
              Alert("This keyboard shortcut cannot be used as it's already a system-wide keyboard shortcut.",
                    "Most system-wide keyboard shortcuts can be changed in the keyboard settings of your desktop.",
                    AlertStyle::warning, {"OK", "Use Anyway"}));
    EXPECT_EQ(getShortcut(name), std::nullopt);
    EXPECT_TRUE(recorder.isRecording());  // focus came back after each alert
    EXPECT_EQ(statuses, (std::vector<bool>{true, false, true, false, true}));

    view.answers = {Alert::secondButtonReturn};
    EXPECT_FALSE(key(Key::t, Flags::control | Flags::option));
    EXPECT_EQ(getShortcut(name), terminal);

    view.focus();
    EXPECT_FALSE(key(Key::f12));  // never treated as reserved
    EXPECT_EQ(getShortcut(name), Shortcut(Key::f12, 0));
    EXPECT_EQ(view.alerts.size(), 3u);
}

TEST_F(RecorderControllerTest, OptionOnlyShortcutsAreRefusedOnlyInTheSandboxOfTheAffectedReleases) {
    const Name name = Name::fromRawValue("a");
    const auto accepted = [&](std::optional<SystemVersion> version, bool sandboxed, std::int64_t flags) {
        view.alerts.clear();
        setShortcut(std::nullopt, name);
        RecorderSystem system;
        system.macOSVersion = version;
        system.isSandboxed = sandboxed;
        make(name, system);
        view.focus();
        key(Key::a, flags);
        view.blur();
        return view.alerts.empty() && getShortcut(name).has_value();
    };
    const SystemVersion affected{15, 1};
    EXPECT_FALSE(accepted(affected, true, Flags::option));
    EXPECT_EQ(view.alerts.at(0).title, "Keyboard shortcuts with Option as the only modifier are not allowed.");
    EXPECT_FALSE(accepted(SystemVersion{15, 0}, true, Flags::option | Flags::shift));
    EXPECT_TRUE(accepted(affected, true, Flags::option | Flags::control));
    EXPECT_TRUE(accepted(SystemVersion{15, 2}, true, Flags::option));
    EXPECT_TRUE(accepted(affected, false, Flags::option));
    EXPECT_TRUE(accepted(std::nullopt, true, Flags::option));  // Linux
}

TEST_F(RecorderControllerTest, ARecorderDestroyedDuringAnAlertOrItsCallbackIsLeftAlone) {
    const Name name = Name::fromRawValue("a");
    setMainMenu(std::vector<MenuItem>{{"Quit", "q", Flags::command, {}}});
    make(name);
    view.focus();
    view.duringAlert = [&] { controller.reset(); };
    EXPECT_FALSE(key(Key::q, Flags::command));
    EXPECT_FALSE(isPaused());

    controller = std::make_unique<RecorderController>(view, name,
                                                      [&](const std::optional<Shortcut>&) { controller.reset(); });
    view.controller = controller.get();
    view.focused = false;
    view.focus();
    EXPECT_FALSE(key(Key::k, Flags::command));
    EXPECT_EQ(getShortcut(name), Shortcut(Key::k, Flags::command));
    EXPECT_FALSE(isPaused());
    EXPECT_EQ(ApplicationEvents::monitorCount(), 0u);
}

}  // namespace
