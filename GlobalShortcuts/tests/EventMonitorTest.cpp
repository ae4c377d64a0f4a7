#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QWindow>

#include <string>
#include <vector>

#include "GlobalShortcuts/GlobalShortcuts.h"
#include "GlobalShortcuts/KeyCharacters.h"
#include "GlobalShortcuts/LocalEventMonitor.h"
#include "GlobalShortcuts/ModifierFlags.h"
#include "GlobalShortcuts/ObjectAssociation.h"
#include "GlobalShortcuts/QtEventBridge.h"
#include "GlobalShortcuts/RunLoopLocalEventMonitor.h"
#include "GlobalShortcuts/CarbonGlobalShortcuts.h"
#include "platform/fake/InMemoryHotKeyBackend.h"
#include "platform/fake/InMemoryUserDefaults.h"
#include "platform/fake/FakeKeyboardLayout.h"

using namespace GlobalShortcuts;
namespace Flags = GlobalShortcuts::ModifierFlags;

namespace {

constexpr EventTypeMask kKeys = eventMask(Event::keyDown) | eventMask(Event::keyUp);

TEST(LocalEventMonitor, WatchesItsTypesWhileItLives) {
    int seen = 0;
    const Event key{Event::keyDown, 0, 0};
    const Event click{Event::leftMouseUp, 0, 0};
    {
        LocalEventMonitor monitor(kKeys, [&](const Event&) -> std::optional<Event> {
            ++seen;
            return std::nullopt;
        });
        EXPECT_EQ(ApplicationEvents::dispatch(key), key);  // not started yet
        monitor.start().start();
        EXPECT_EQ(ApplicationEvents::monitorCount(), 1u);
        EXPECT_EQ(ApplicationEvents::dispatch(key), std::nullopt);
        EXPECT_EQ(ApplicationEvents::dispatch(click), click);
    }
    EXPECT_EQ(ApplicationEvents::monitorCount(), 0u);
    EXPECT_EQ(ApplicationEvents::dispatch(key), key);
    EXPECT_EQ(seen, 1);
}

TEST(LocalEventMonitor, ReplacementsPassOnToLaterMonitors) {
    const Event original{Event::keyDown, 1, 0};
    const Event replaced{Event::keyDown, 2, Flags::shift};
    LocalEventMonitor first(kKeys, [&](const Event&) { return std::optional<Event>(replaced); });
    Event seenBySecond;
    LocalEventMonitor second(kKeys, [&](const Event& event) {
        seenBySecond = event;
        return std::optional<Event>(event);
    });
    first.start();
    second.start();
    EXPECT_EQ(ApplicationEvents::dispatch(original), replaced);
    EXPECT_EQ(seenBySecond, replaced);
}

TEST(LocalEventMonitor, AMonitorRemovedByAnotherIsNotCalledAndItsReleaseIsHarmless) {
    auto victim = std::make_unique<LocalEventMonitor>(kKeys, [](const Event&) -> std::optional<Event> {
        ADD_FAILURE() << "removed monitor called";
        return std::nullopt;
    });
    LocalEventMonitor killer(kKeys, [&](const Event& event) {
        victim.reset();
        return std::optional<Event>(event);
    });
    killer.start();
    victim->start();
    const Event key{Event::keyUp, 3, 0};
    EXPECT_EQ(ApplicationEvents::dispatch(key), key);
}

// Qt delivers key events through the bridge to the monitors.
class QtBridge : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "shortcuts_tests";
        static char* argv[] = {name, nullptr};
        if (!QGuiApplication::instance())
            application = new QGuiApplication(argc, argv);
    }
    static inline QGuiApplication* application = nullptr;
};

class KeyRecorder : public QWindow {
public:
    std::string keys;

protected:
    void keyPressEvent(QKeyEvent* event) override {
        keys += "p" + std::to_string(event->nativeScanCode());
        if (event->modifiers() & Qt::ShiftModifier)
            keys += "S";
        keys += "(" + QKeySequence(event->key()).toString().toStdString() + "," + event->text().toStdString() + ")";
    }
};

TEST_F(QtBridge, KeyEventsReachMonitorsWhichMaySwallowOrReplaceThem) {
    KeyRecorder window;
    std::vector<Event> seen;
    LocalEventMonitor monitor(kKeys, [&](const Event& event) -> std::optional<Event> {
        seen.push_back(event);
        if (event.keyCode == 0)  // the A key: swallowed
            return std::nullopt;
        if (event.keyCode == 11) {  // the B key: turned into shift + C
            Event replaced = event;
            replaced.keyCode = 8;
            replaced.modifierFlags |= Flags::shift;
            return replaced;
        }
        return event;
    });
    monitor.start();
    // X11 key codes: A 38, B 56, space 65.
    GlobalShortcuts::setKeyboardLayout(platform::FakeKeyboardLayout::usQwerty());
    QKeyEvent a(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, 38, 0, 0, QStringLiteral("a"));
    QKeyEvent b(QEvent::KeyPress, Qt::Key_B, Qt::NoModifier, 56, 0, 0, QStringLiteral("b"));
    QKeyEvent space(QEvent::KeyPress, Qt::Key_Space, Qt::MetaModifier | Qt::ShiftModifier, 65, 0, 0x2 /*Lock*/,
                    QStringLiteral(" "));
    QCoreApplication::sendEvent(&window, &a);
    QCoreApplication::sendEvent(&window, &b);
    QCoreApplication::sendEvent(&window, &space);
    GlobalShortcuts::setKeyboardLayout(nullptr);
    // The B key arrives as Shift+C, typing "C" (X11 key code 54); the space
    // key, passed on unchanged, keeps its own key and text.
    EXPECT_EQ(window.keys, "p54S(C,C)p65S(Space, )");
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[2], (Event{Event::keyDown, 49, Flags::command | Flags::shift | Flags::capsLock, false}));
}

// The run-loop monitor takes key events out of delivery and drains them when
// the loop wakes: swallowed ones are gone, the others come back in order.
TEST_F(QtBridge, RunLoopMonitorDrainsTakenKeysInOrderWhenTheLoopWakes) {
    GlobalShortcuts::setKeyboardLayout(platform::FakeKeyboardLayout::usQwerty());
    KeyRecorder window;
    std::vector<long long> seen;
    RunLoopLocalEventMonitor monitor(eventMask(Event::keyDown), RunLoopMode::default_,
                                     [&](const Event& event) -> std::optional<Event> {
                                         seen.push_back(event.keyCode);
                                         if (event.keyCode == 0)  // A: swallowed
                                             return std::nullopt;
                                         if (event.keyCode == 11) {  // B: turned into C
                                             Event replaced = event;
                                             replaced.keyCode = 8;
                                             return replaced;
                                         }
                                         return event;
                                     });
    QKeyEvent a(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, 38, 0, 0, QStringLiteral("a"));
    QKeyEvent b(QEvent::KeyPress, Qt::Key_B, Qt::NoModifier, 56, 0, 0, QStringLiteral("b"));
    QKeyEvent d(QEvent::KeyPress, Qt::Key_D, Qt::NoModifier, 40, 0, 0, QStringLiteral("d"));
    QKeyEvent bUp(QEvent::KeyRelease, Qt::Key_B, Qt::NoModifier, 56, 0, 0, QStringLiteral("b"));

    QCoreApplication::sendEvent(&window, &d);  // not started: delivered at once
    EXPECT_EQ(window.keys, "p40(D,d)");
    window.keys.clear();

    monitor.start();
    for (QKeyEvent* event : {&a, &b, &d, &bUp})
        QCoreApplication::sendEvent(&window, event);
    EXPECT_TRUE(window.keys.empty());  // taken, not drained yet (the release is not in the mask)
    QCoreApplication::processEvents();
    EXPECT_EQ(seen, (std::vector<long long>{0, 11, 2}));
    EXPECT_EQ(window.keys, "p54(C,c)p40(D,d)");

    // Stopping gives back what was taken and not drained, unchanged.
    window.keys.clear();
    QCoreApplication::sendEvent(&window, &a);
    monitor.stop();
    QCoreApplication::processEvents();
    EXPECT_EQ(window.keys, "p38(A,a)");
    EXPECT_EQ(seen.size(), 3u);
    GlobalShortcuts::setKeyboardLayout(nullptr);
}

// While a menu is open the hot keys are let go, and the keys the menu gets
// reach the shortcut's handlers through the hot-key layer's run-loop monitor.
TEST_F(QtBridge, AnOpenMenuDeliversTheShortcutsKeysToTheirHandlers) {
    GlobalShortcuts::resetForTesting();
    platform::UserDefaults::setStandard(std::make_shared<platform::InMemoryUserDefaults>());
    auto desktop = std::make_shared<platform::InMemoryHotKeyBackend>();
    CarbonGlobalShortcuts::setBackend(desktop);
    GlobalShortcuts::setKeyboardLayout(platform::FakeKeyboardLayout::usQwerty());
    const Name name("menu_space", Shortcut(Key::space, Flags::command | Flags::shift));
    std::string fired;
    onKeyDown(name, [&] { fired += "d"; });
    onKeyUp(name, [&] { fired += "u"; });

    KeyRecorder menu;
    menu.setFlags(Qt::Popup);
    menu.show();
    ASSERT_TRUE(isMenuOpen());
    EXPECT_EQ(desktop->grabCount(), 0u);
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Space, Qt::MetaModifier | Qt::ShiftModifier, 65, 0, 0x2 /*Lock*/);
    QKeyEvent up(QEvent::KeyRelease, Qt::Key_Space, Qt::MetaModifier | Qt::ShiftModifier, 65, 0, 0);
    QKeyEvent plain(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, 53, 0, 0, QStringLiteral("x"));
    for (QKeyEvent* event : {&down, &plain, &up})
        QCoreApplication::sendEvent(&menu, event);
    QCoreApplication::processEvents();
    EXPECT_EQ(fired, "du");
    EXPECT_EQ(menu.keys, "p53(X,x)");  // only the menu's own key reached it

    menu.hide();
    EXPECT_FALSE(isMenuOpen());
    EXPECT_EQ(desktop->grabCount(), 1u);
    QCoreApplication::sendEvent(&menu, &down);  // no menu: not taken
    QCoreApplication::processEvents();
    EXPECT_EQ(fired, "du");
    GlobalShortcuts::resetForTesting();
    CarbonGlobalShortcuts::setBackend(nullptr);
    GlobalShortcuts::setKeyboardLayout(nullptr);
    platform::UserDefaults::setStandard(std::make_shared<platform::InMemoryUserDefaults>());
}

TEST_F(QtBridge, KeysWithoutAPositionPassUntouched) {
    KeyRecorder window;
    int calls = 0;
    LocalEventMonitor monitor(kKeys, [&](const Event&) -> std::optional<Event> {
        ++calls;
        return std::nullopt;
    });
    monitor.start();
    QKeyEvent print(QEvent::KeyPress, Qt::Key_Print, Qt::NoModifier, 107, 0, 0);
    QCoreApplication::sendEvent(&window, &print);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(window.keys, "p107(Print,)");
}

TEST_F(QtBridge, PopupWindowsAreMenusWhileShown) {
    GlobalShortcuts::resetForTesting();
    Name::fromRawValue("any");  // the first name listens for menus
    QWindow menu;
    menu.setFlags(Qt::Popup);
    QWindow submenu;
    submenu.setFlags(Qt::Popup);
    QWindow plain;
    plain.show();
    EXPECT_FALSE(isMenuOpen());
    menu.show();
    EXPECT_TRUE(isMenuOpen());
    submenu.show();
    submenu.hide();
    EXPECT_TRUE(isMenuOpen());  // the outer menu is still open
    menu.hide();
    EXPECT_FALSE(isMenuOpen());
    GlobalShortcuts::resetForTesting();
}

TEST_F(QtBridge, AssociationsFollowTheirOwners) {
    ObjectAssociation<std::string> shared;
    ObjectAssociation<std::string> weak(AssociationPolicy::assign);
    ObjectAssociation<std::string> copied(AssociationPolicy::copy);
    auto value = std::make_shared<std::string>("value");
    {
        QObject owner;
        shared.set(&owner, value);
        weak.set(&owner, value);
        copied.set(&owner, value);
        *value = "changed";
        EXPECT_EQ(*shared.get(&owner), "changed");
        EXPECT_EQ(*copied.get(&owner), "value");
        shared.set(&owner, nullptr);
        EXPECT_EQ(shared.get(&owner), nullptr);
        value.reset();
        EXPECT_EQ(weak.get(&owner), nullptr);  // assign does not keep it alive
        EXPECT_EQ(*copied.get(&owner), "value");
        QObject other;
        EXPECT_EQ(copied.get(&other), nullptr);
    }
    // The owner is gone; a new object at the same address starts empty.
    QObject later;
    EXPECT_EQ(copied.get(&later), nullptr);
}

}  // namespace
