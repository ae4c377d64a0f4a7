#include <gtest/gtest.h>

#include <QApplication>
#include <QTabWidget>
#include <QTest>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "GlobalShortcuts/CarbonGlobalShortcuts.h"
#include "GlobalShortcuts/GlobalShortcuts.h"
#include "GlobalShortcuts/ModifierFlags.h"
#include "GlobalShortcuts/QtEventBridge.h"
#include "GlobalShortcuts/Recorder.h"
#include "desktop/FloatingWindowManager.h"
#include "desktop/HotkeyManager.h"
#include "desktop/tests/unit/CaptureFakes.h"
#include "desktop/tests/unit/PermissionFakes.h"
#include "desktop/tests/unit/ShownFlagWindow.h"
#include "fakes/SettingsHarness.h"
#include "platform/fake/FakeLoginItemService.h"
#include "testsupport/QtEvents.h"
#include "testsupport/X11HotKeySession.h"
#include "testsupport/X11Test.h"
#include "ui/Screenshot.h"
#include "windows/SettingsView.h"
#include "windows/ShortcutsTabView.h"

namespace windows {
namespace {

using desktop::HotkeyManager;
using GlobalShortcuts::Key;
using GlobalShortcuts::Shortcut;
using testsupport::runEventsUntil;
using testsupport::xdotool;
namespace Flags = GlobalShortcuts::ModifierFlags;
using namespace std::chrono_literals;

// The program's shortcut actions over the real X11 hot keys, with the
// settings window's Shortcuts tab: what the user records there is what the
// actions answer to from then on.
class ShortcutsTabOnX11 : public ::testing::Test, protected desktop::testing::PermissionFixture,
                          protected desktop::testing::CaptureFakes {
protected:
    void SetUp() override {
        QUILLARY_SKIP_WITHOUT_X11_KEYS();
        qputenv("QT_QPA_PLATFORM", "xcb");
        ui::Screenshot::ensureApplication();  // the program's style, before the session's plain one
        // The names keep their defaults in the session's standard store, the
        // one of the moment they are first made.
        session.emplace(testsupport::X11HotKeySession::make<QApplication>());
        qtLoop = session->loop;
        GlobalShortcuts::QtEventBridge::ensureInstalled();
        LaunchAtLogin::setService(std::make_shared<platform::FakeLoginItemService>());

        desktop::TextReplacer::resetForTesting();
        defaults->setBool(desktop::AccessibilityManager::launchedBeforeKey, true);
        trust->trusted = true;
        accessibility_ = std::make_unique<desktop::AccessibilityManager>(dependencies());

        desktop::FloatingWindowManager::Environment environment;
        environment.makeWindow = [](std::unique_ptr<QWidget>) { return std::make_unique<desktop::testing::ShownFlagWindow>(); };
        environment.pointerPosition = [] { return QPoint(10, 10); };
        environment.visibleFrame = [] { return std::optional<QRect>(QRect(0, 0, 1280, 800)); };
        environment.loop = qtLoop;
        auto panels = std::make_unique<desktop::FloatingWindowManager>(h.settings, std::move(environment));
        panels->setViewFactory([this](desktop::PanelViewContext context) -> std::unique_ptr<QWidget> {
            modes.emplace_back(context.startWithVoiceInput, context.startWithChat);
            return nullptr;
        });
        manager_ = std::make_unique<HotkeyManager>(*accessibility_,
                                                   HotkeyManager::Dependencies{qtLoop, std::move(panels), services()});
    }

    void TearDown() override {
        manager_.reset();
        accessibility_.reset();
        desktop::TextReplacer::resetForTesting();
        LaunchAtLogin::setService(nullptr);
        session.reset();
    }

    // Presses and lets go of a combination; true when the chat-mode action
    // ran once more because of it.
    bool pressOpensChat(const std::string& keys) {
        const std::size_t before = modes.size();
        if (!xdotool("key " + keys)) return false;
        const bool opened = runEventsUntil([&] { return modes.size() > before; }, 2s);
        testsupport::runEventsFor(100ms);  // and nothing else
        // A real panel takes the keyboard held for it when it becomes active.
        CarbonGlobalShortcuts::backend()->endKeyboardHold();
        return opened && modes.size() == before + 1 && modes.back() == std::make_pair(false, true);
    }

    std::optional<testsupport::X11HotKeySession> session;
    std::shared_ptr<platform::QtMainLoop> qtLoop;
    testing::SettingsHarness h;
    std::unique_ptr<desktop::AccessibilityManager> accessibility_;
    std::unique_ptr<HotkeyManager> manager_;
    std::vector<std::pair<bool, bool>> modes;  // (voice, chat) of every panel opened
};

TEST_F(ShortcutsTabOnX11, ANewChatModeCombinationWorksAtOnceAndTheOldOneNoLonger) {
    ASSERT_TRUE(pressOpensChat("super+shift+c")) << "the default opens chat mode";

    SettingsView view(h.settings, h.defaults);
    view.tabs()->setCurrentIndex(2);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    auto* tab = dynamic_cast<ShortcutsTabView*>(view.tabs()->currentWidget());
    ASSERT_NE(tab, nullptr);
    GlobalShortcuts::RecorderCocoa* chat = tab->rows()->row(2).recorder->field();
    ASSERT_EQ(chat->shortcutName(), HotkeyManager::toggleChatMode());

    const QPoint centre = chat->mapToGlobal(chat->rect().center());
    ASSERT_TRUE(xdotool("mousemove " + std::to_string(centre.x()) + " " + std::to_string(centre.y()) + " click 1"));
    ASSERT_TRUE(runEventsUntil([&] { return chat->isRecording(); }));
    ASSERT_TRUE(xdotool("key ctrl+alt+j"));
    const Shortcut recorded(Key::j, Flags::control | Flags::option);
    ASSERT_TRUE(runEventsUntil([&] { return GlobalShortcuts::getShortcut(HotkeyManager::toggleChatMode()) == recorded; }));
    EXPECT_FALSE(chat->isRecording());
    EXPECT_EQ(chat->text(), QStringLiteral("⌃⌥J"));
    ui::Screenshot::save(view, QUILLARY_SCREENSHOT_DIR, "settings-shortcuts-recorded");
    EXPECT_EQ(modes.size(), 1u) << "recording opened no panel";

    EXPECT_TRUE(pressOpensChat("ctrl+alt+j")) << "the new combination opens chat mode, no restart";
    view.close();
    EXPECT_TRUE(pressOpensChat("ctrl+alt+j")) << "also with the settings window closed";
    EXPECT_FALSE(pressOpensChat("super+shift+c")) << "the old combination is let go";
    EXPECT_FALSE(CarbonGlobalShortcuts::isRegistered(Shortcut(Key::c, Flags::command | Flags::shift)));
}

}  // namespace
}  // namespace windows
