#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QVBoxLayout>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "GlobalShortcuts/CarbonGlobalShortcuts.h"
#include "core/Analytics.h"
#include "core/Settings.h"
#include "desktop/FloatingPanel.h"
#include "desktop/FloatingWindowManager.h"
#include "platform/fake/InMemoryUserDefaults.h"
#include "platform/qt/QtMainLoop.h"
#include "platform/x11/X11HotKeyBackend.h"
#include "testsupport/QtEvents.h"
#include "testsupport/X11Test.h"
#include "ui/Screenshot.h"
#include "XObserver.h"

namespace desktop {
namespace {

using testsupport::runEventsFor;
using testsupport::runEventsUntil;
using namespace std::chrono_literals;

void xdotool(const std::string& arguments) {
    ASSERT_EQ(std::system(("xdotool " + arguments + " 2>/dev/null").c_str()), 0) << arguments;
}

// A line edit that keeps what it was typed.
struct HostedView {
    QPointer<QWidget> widget;
    QPointer<QLineEdit> field;
};

class FloatingPanelOnX11 : public ::testing::Test {
protected:
    void SetUp() override {
        QUILLARY_SKIP_WITHOUT_X11_KEYS();
        qputenv("QT_QPA_PLATFORM", "xcb");
        ui::Screenshot::ensureApplication();
        loop = std::make_shared<platform::QtMainLoop>();
        platform::MainLoop::setMain(loop);
        backend = std::make_shared<platform::X11HotKeyBackend>(loop);
        CarbonGlobalShortcuts::setBackend(backend);

        other = std::make_unique<QWidget>();
        other->setWindowTitle("other program");
        auto* layout = new QVBoxLayout(other.get());
        otherField = new QLineEdit;
        layout->addWidget(otherField);
        other->setGeometry(100, 100, 600, 500);
        other->show();
        other->activateWindow();
        ASSERT_TRUE(runEventsUntil([&] { return other->isActiveWindow(); }));

        FloatingWindowManager::Environment environment;
        environment.loop = loop;
        environment.windowSystem = FloatingPanel::defaultWindowSystem();
        manager = std::make_unique<FloatingWindowManager>(settings, std::move(environment));
        manager->setPanelClosedWithoutPasteBack([] {});
        manager->setViewFactory([this](PanelViewContext) -> std::unique_ptr<QWidget> {
            auto widget = std::make_unique<QWidget>();
            widget->setFixedSize(500, 120);
            widget->setAutoFillBackground(true);
            auto* layout = new QVBoxLayout(widget.get());
            view.widget = widget.get();
            view.field = new QLineEdit;
            layout->addWidget(view.field);
            return widget;
        });
    }

    void TearDown() override {
        manager.reset();
        other.reset();
        runEventsFor(50ms);
        CarbonGlobalShortcuts::setBackend(nullptr);
        backend.reset();
        platform::MainLoop::setMain(nullptr);
    }

    QWidget* panel() const { return view.widget ? view.widget->window() : nullptr; }
    unsigned long panelId() const { return static_cast<unsigned long>(panel()->winId()); }

    // Shown, mapped and given the keyboard, as another client sees it.
    bool panelTookTheKeyboard() {
        return runEventsUntil([&] {
            return panel() && panel()->isVisible() && panel()->isActiveWindow() && observer.activeWindow() == panelId();
        });
    }

    void clickInto(QWidget& widget) {
        const QPoint centre = widget.mapToGlobal(widget.rect().center());
        xdotool("mousemove " + std::to_string(centre.x()) + " " + std::to_string(centre.y()) + " click 1");
    }

    std::shared_ptr<platform::InMemoryUserDefaults> defaults = std::make_shared<platform::InMemoryUserDefaults>();
    core::Analytics analytics;
    core::Settings settings{defaults, analytics};
    std::shared_ptr<platform::QtMainLoop> loop;
    std::shared_ptr<platform::X11HotKeyBackend> backend;
    std::unique_ptr<QWidget> other;
    QLineEdit* otherField = nullptr;
    std::unique_ptr<FloatingWindowManager> manager;
    HostedView view;
    XObserver observer;
};

TEST_F(FloatingPanelOnX11, MapsAboveANormalWindowOffTheTaskBarAndTakesTheKeyboard) {
    ASSERT_TRUE(observer.ok());
    QCursor::setPos(300, 300);
    manager->toggleWindow();
    ASSERT_TRUE(panelTookTheKeyboard());

    EXPECT_TRUE(observer.hasState(panelId(), "_NET_WM_STATE_SKIP_TASKBAR"));
    EXPECT_GT(observer.stackingIndex(panelId()), observer.stackingIndex(static_cast<unsigned long>(other->winId())));

    view.field->setFocus();
    xdotool("type --delay 20 hello");
    EXPECT_TRUE(runEventsUntil([&] { return view.field->text() == "hello"; }));
    EXPECT_TRUE(otherField->text().isEmpty());
    ui::Screenshot::save(*panel(), QUILLARY_SCREENSHOT_DIR, "floating-panel-x11");
}

// The window of a closed panel serves a later showing; the window manager
// forgot its states when it was withdrawn.
TEST_F(FloatingPanelOnX11, AWindowUsedAgainIsOffTheTaskBarAndThePagerAsANewOne) {
    std::vector<unsigned long> shown;
    bool usedAgain = false;
    for (int showing = 1; showing <= 4 && !usedAgain; ++showing) {
        manager->showWindow(false, false);
        ASSERT_TRUE(panelTookTheKeyboard()) << "showing " << showing;
        usedAgain = std::find(shown.begin(), shown.end(), panelId()) != shown.end();
        shown.push_back(panelId());
        EXPECT_TRUE(observer.hasState(panelId(), "_NET_WM_STATE_SKIP_TASKBAR")) << "showing " << showing;
        EXPECT_TRUE(observer.hasState(panelId(), "_NET_WM_STATE_SKIP_PAGER")) << "showing " << showing;
        manager->toggleWindow();
        // Let go of: its window becomes the spare, its view is deleted.
        ASSERT_TRUE(runEventsUntil([&] { return !view.widget; }));
    }
    EXPECT_TRUE(usedAgain);
}

TEST_F(FloatingPanelOnX11, ClosesWhenAnotherWindowIsClickedButNotForItsOwnPopup) {
    QCursor::setPos(900, 500);
    manager->showWindow(false, false);
    ASSERT_TRUE(panelTookTheKeyboard());

    // The model picker: a popup child of the panel grabs the keyboard.
    QMenu picker(panel());
    picker.addAction("GPT-4o");
    picker.addAction("Claude");
    picker.popup(panel()->mapToGlobal(QPoint(20, 20)));
    ASSERT_TRUE(runEventsUntil([&] { return picker.isVisible(); }));
    runEventsFor(700ms);  // past Qt's wait for a focus change to settle
    EXPECT_TRUE(panel()->isVisible());
    picker.close();
    runEventsFor(700ms);
    ASSERT_TRUE(panel()->isVisible());
    EXPECT_EQ(manager->state(), FloatingWindowManager::State::panelVisible);

    clickInto(*other);
    EXPECT_TRUE(runEventsUntil([&] { return !panel()->isVisible(); }));
    EXPECT_EQ(manager->state(), FloatingWindowManager::State::panelClosedControllerKept);
}

TEST_F(FloatingPanelOnX11, OpensWhileTheHotKeyIsHeldAndStaysOpenWhenItIsLetGo) {
    ASSERT_EQ(backend->registerHotKey({49, platform::carbon_modifier::command | platform::carbon_modifier::shift},
                                      {1, 1}),
              platform::hotkey_status::noErr);
    backend->setHandler([this](platform::HotKeyEventKind kind, platform::HotKeyId id) {
        if (kind == platform::HotKeyEventKind::pressed && id.id == 1) loop->post([this] { manager->toggleWindow(); });
        return platform::hotkey_status::noErr;
    });

    xdotool("keydown super+shift+space");
    ASSERT_TRUE(runEventsUntil([&] { return panel() && panel()->isVisible(); }));
    EXPECT_NE(backend->lastPressTime(), 0u);
    runEventsFor(700ms);  // the key is still held: the keyboard is grabbed
    xdotool("keyup space keyup shift keyup super");
    ASSERT_TRUE(panelTookTheKeyboard());
    runEventsFor(700ms);
    ASSERT_TRUE(panel());
    EXPECT_TRUE(panel()->isVisible());

    view.field->setFocus();
    xdotool("type --delay 20 ok");
    EXPECT_TRUE(runEventsUntil([&] { return view.field->text() == "ok"; }));

    // Another hot key held over the open panel grabs the keyboard for a
    // while: that is no loss of the keyboard.
    ASSERT_EQ(backend->registerHotKey({9, platform::carbon_modifier::command | platform::carbon_modifier::shift},
                                      {1, 2}),
              platform::hotkey_status::noErr);
    xdotool("keydown super+shift+v");
    runEventsFor(700ms);
    xdotool("keyup v keyup shift keyup super");
    runEventsFor(700ms);
    ASSERT_TRUE(panel());
    EXPECT_TRUE(panel()->isVisible());
    backend->unregisterHotKey({1, 2});

    // The same hot key again closes it.
    xdotool("key super+shift+space");
    EXPECT_TRUE(runEventsUntil([&] { return manager->state() == FloatingWindowManager::State::noController; }));
    backend->unregisterHotKey({1, 1});
}

}  // namespace
}  // namespace desktop
