#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QPushButton>

#include <vector>

#include "GlobalShortcuts/ApplicationMenu.h"
#include "GlobalShortcuts/GlobalKeyboardShortcutViewModifier.h"
#include "GlobalShortcuts/KeyboardShortcutListener.h"
#include "GlobalShortcuts/MenuItemShortcut.h"
#include "GlobalShortcuts/ModifierFlags.h"
#include "GlobalShortcuts/RecorderController.h"
#include "WidgetFixture.h"

using namespace GlobalShortcuts;
namespace Flags = GlobalShortcuts::ModifierFlags;

namespace {

const Shortcut kMetaK(Key::k, Flags::command);
const Shortcut kMetaL(Key::l, Flags::command);
const Shortcut kCtrlShiftF5(Key::f5, Flags::control | Flags::shift);

using Bindings = WidgetFixture;

// Menu items

TEST_F(Bindings, AMenuItemFollowsItsNameOnTheNextTurnOfTheLoop) {
    const Name name = Name::fromRawValue("open");
    const Name other = Name::fromRawValue("other");
    QAction item(QStringLiteral("Open"));
    item.setShortcut(QKeySequence(Qt::Key_F1));
    setShortcut(item, std::optional<Name>(name));
    EXPECT_TRUE(item.shortcut().isEmpty());  // nothing stored for it

    name.setShortcut(kMetaK);
    EXPECT_TRUE(item.shortcut().isEmpty());
    loop->runPending();
    EXPECT_EQ(item.shortcut(), QKeySequence(Qt::MetaModifier | Qt::Key_K));

    other.setShortcut(kMetaL);
    loop->runPending();
    EXPECT_EQ(item.shortcut(), QKeySequence(Qt::MetaModifier | Qt::Key_K));

    name.setShortcut(kCtrlShiftF5);
    loop->runPending();
    EXPECT_EQ(item.shortcut(), QKeySequence(Qt::ControlModifier | Qt::ShiftModifier | Qt::Key_F5));

    // Unbound: the shortcut goes and later changes no longer reach it.
    setShortcut(item, std::optional<Name>());
    EXPECT_TRUE(item.shortcut().isEmpty());
    name.setShortcut(kMetaL);
    loop->runPending();
    EXPECT_TRUE(item.shortcut().isEmpty());
}

TEST_F(Bindings, RebindingAMenuItemLeavesTheEarlierNameBehind) {
    const Name first = Name::fromRawValue("first");
    const Name second = Name::fromRawValue("second");
    QAction item(QStringLiteral("Item"));
    setShortcut(item, std::optional<Name>(first));
    first.setShortcut(kMetaK);  // on its way when the item is rebound
    setShortcut(item, std::optional<Name>(second));
    loop->runPending();
    EXPECT_TRUE(item.shortcut().isEmpty());

    first.setShortcut(kMetaL);
    loop->runPending();
    EXPECT_TRUE(item.shortcut().isEmpty());
    second.setShortcut(kCtrlShiftF5);
    loop->runPending();
    EXPECT_EQ(item.shortcut(), QKeySequence(Qt::ControlModifier | Qt::ShiftModifier | Qt::Key_F5));
}

TEST_F(Bindings, AShortcutAppliedOnceStaysAndADeletedItemIsForgotten) {
    const Name name = Name::fromRawValue("once");
    QAction item(QStringLiteral("Once"));
    setShortcut(item, std::optional<Shortcut>(kMetaK));
    name.setShortcut(kMetaL);
    loop->runPending();
    EXPECT_EQ(item.shortcut(), QKeySequence(Qt::MetaModifier | Qt::Key_K));

    const std::size_t observers = platform::NotificationCenter::defaultCenter().observerCount();
    auto* bound = new QAction(QStringLiteral("Bound"));
    setShortcut(*bound, std::optional<Name>(name));
    name.setShortcut(kMetaK);  // re-application pending
    delete bound;
    EXPECT_EQ(platform::NotificationCenter::defaultCenter().observerCount(), observers);
    loop->runPending();
}

// The application's main menu

TEST_F(Bindings, TheTrayMenusActionsAreReadLiveSubmenusIncluded) {
    auto* tray = new QMenu;
    tray->addAction(QStringLiteral("Preferences..."))->setShortcut(QKeySequence(Qt::MetaModifier | Qt::Key_Comma));
    tray->addSeparator();
    QMenu* tools = tray->addMenu(QStringLiteral("&Tools"));
    auto* save = tools->addAction(QStringLiteral("Save && Close"));
    save->setShortcuts({QKeySequence(Qt::ControlModifier | Qt::ShiftModifier | Qt::Key_S), QKeySequence(Qt::Key_F2)});
    setApplicationMainMenu(tray);

    const auto items = menuItems(*tray);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].keyEquivalent, ",");
    EXPECT_EQ(items[0].keyEquivalentModifierMask, Flags::command);
    EXPECT_EQ(items[1].title, "Tools");
    ASSERT_EQ(items[1].submenu.size(), 2u);
    EXPECT_EQ(items[1].submenu[0].title, "Save & Close");

    EXPECT_EQ(takenByApplicationMenu(Shortcut(Key::s, Flags::control | Flags::shift))->title, "Save & Close");
    EXPECT_EQ(takenByApplicationMenu(Shortcut(Key::f2, 0))->title, "Save & Close");
    EXPECT_FALSE(takenByApplicationMenu(Shortcut(Key::s, Flags::control)));

    // Changed after it was named: the change counts.
    tray->addAction(QStringLiteral("Help"))->setShortcut(QKeySequence(Qt::MetaModifier | Qt::Key_H));
    EXPECT_EQ(takenByApplicationMenu(Shortcut(Key::h, Flags::command))->title, "Help");

    delete tray;
    EXPECT_EQ(applicationMainMenu(), nullptr);
    EXPECT_FALSE(takenByApplicationMenu(Shortcut(Key::h, Flags::command)));
}

// Views

TEST_F(Bindings, AViewActsOnItsShortcutOnlyWhileShown) {
    const Name name("toggleVoiceInput", Shortcut(Key::v, Flags::command | Flags::shift));
    const Shortcut pressed(Key::v, Flags::command | Flags::shift);
    QWidget view;
    std::vector<EventType> both;
    int releases = 0;
    onKeyboardShortcut(view, name, [&](EventType type) { both.push_back(type); });
    onKeyboardShortcut(view, name, EventType::keyUp, [&] { ++releases; });

    press(pressed);
    release(pressed);
    loop->runPending();
    EXPECT_TRUE(both.empty());  // not shown yet

    view.show();
    loop->runPending();  // the streams start on a later turn
    press(pressed);
    release(pressed);
    EXPECT_TRUE(both.empty());  // actions run on a later turn
    loop->runPending();
    EXPECT_EQ(both, (std::vector<EventType>{EventType::keyDown, EventType::keyUp}));
    EXPECT_EQ(releases, 1);

    view.hide();
    loop->runPending();
    press(pressed);
    release(pressed);
    loop->runPending();
    EXPECT_EQ(both.size(), 2u);
    EXPECT_EQ(releases, 1);
    // With no stream left, the hot key is no longer needed.
    EXPECT_FALSE(desktop->isGrabbed(combo(pressed)));
}

TEST_F(Bindings, AButtonDropsItsShortcutWhileARecorderRecords) {
    const Name name = Name::fromRawValue("send");
    name.setShortcut(kMetaK);
    QPushButton button;
    const auto* binding = globalKeyboardShortcut(button, name);
    EXPECT_EQ(button.shortcut(), QKeySequence(Qt::MetaModifier | Qt::Key_K));

    auto& center = platform::NotificationCenter::defaultCenter();
    center.post(std::string(kRecorderActiveStatusDidChange), {{"isActive", true}});
    EXPECT_TRUE(button.shortcut().isEmpty());
    name.setShortcut(kMetaL);  // stored meanwhile: still none while recording
    EXPECT_TRUE(button.shortcut().isEmpty());
    // A status without a usable "isActive" counts as not recording.
    center.post(std::string(kRecorderActiveStatusDidChange), {{"isActive", 1}});
    EXPECT_FALSE(binding->isRecorderActive());
    EXPECT_EQ(button.shortcut(), QKeySequence(Qt::MetaModifier | Qt::Key_L));

    name.setShortcut(std::nullopt);
    EXPECT_TRUE(button.shortcut().isEmpty());
}

}  // namespace
