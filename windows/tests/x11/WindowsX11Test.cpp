#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QMenu>
#include <QScrollBar>
#include <QSlider>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "GlobalShortcuts/ApplicationMenu.h"
#include "GlobalShortcuts/Recorder.h"
#include "desktop/PermissionWindow.h"
#include "desktop/tests/unit/PermissionFakes.h"
#include "desktop/tests/x11/XObserver.h"
#include "fakes/HistoryFixture.h"
#include "fakes/SettingsHarness.h"
#include "fakes/SliderHandle.h"
#include "testsupport/QtEvents.h"
#include "testsupport/X11HotKeySession.h"
#include "testsupport/X11Test.h"
#include "ui/Screenshot.h"
#include "windows/HelpManager.h"
#include "windows/HistoryDetailView.h"
#include "windows/HistoryView.h"
#include "windows/ModelsTabView.h"
#include "windows/SettingsView.h"
#include "windows/ShortcutsTabView.h"

namespace windows {
namespace {

using testsupport::runEventsUntil;
using testsupport::xdotool;
using namespace std::chrono_literals;

class WindowsOnX11 : public ::testing::Test {
protected:
    void SetUp() override {
        QUILLARY_SKIP_WITHOUT_X11_KEYS();
        qputenv("QT_QPA_PLATFORM", "xcb");
        ui::Screenshot::ensureApplication();
        session.emplace(testsupport::X11HotKeySession::make<QApplication>());
    }
    void TearDown() override { session.reset(); }

    // Shows the settings window on a tab and waits until it has the keyboard.
    void showSettings(SettingsView& view, int tab) {
        view.tabs()->setCurrentIndex(tab);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
        ASSERT_TRUE(runEventsUntil([&] { return x.hasFocus(view.winId()); })) << "the settings window has the keyboard";
    }

    static bool click(const QWidget& widget, QPoint at) {
        const QPoint point = widget.mapToGlobal(at);
        return xdotool("mousemove " + std::to_string(point.x()) + " " + std::to_string(point.y()) + " click 1");
    }
    static bool wheel(const QWidget& widget, bool down) {
        const QPoint point = widget.mapToGlobal(widget.rect().center());
        return xdotool("mousemove " + std::to_string(point.x()) + " " + std::to_string(point.y()) + " click " +
                       (down ? "5" : "4"));
    }

    std::optional<testsupport::X11HotKeySession> session;
    testing::SettingsHarness h;
    desktop::XObserver x;
};

// The help and permission windows offer a title and a close button, at one size.
TEST_F(WindowsOnX11, TheHelpAndPermissionWindowsCannotBeResizedMinimisedOrMaximised) {
    constexpr unsigned long kFunctions = 1, kDecorations = 2;
    constexpr unsigned long kAllFunctions = 1, kMinimise = 8, kMaximise = 16;
    constexpr unsigned long kMinimiseButton = 32, kMaximiseButton = 64;

    HelpManager help(std::make_shared<core::testing::RecordingAnalyticsSink>());
    help.showHelp();
    desktop::testing::PermissionFixture fixture;
    fixture.defaults->setBool(desktop::AccessibilityManager::launchedBeforeKey, true);
    fixture.trust->trusted = true;
    desktop::PermissionWindow* permission = nullptr;
    desktop::AccessibilityManager manager(fixture.dependencies([&](desktop::AccessibilityManager& owner) {
        auto window = std::make_unique<desktop::PermissionWindow>(owner);
        permission = window.get();
        return window;
    }));
    manager.showPermissionWindow();
    fixture.loop->runPending();
    ASSERT_NE(permission, nullptr);

    for (QWidget* window : {help.window(), permission->window()}) {
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        const auto title = window->windowTitle().toStdString();
        const auto limits = x.sizeLimits(window->winId());
        ASSERT_TRUE(limits) << title;
        EXPECT_EQ(QSize(limits->minWidth, limits->minHeight), window->size()) << title;
        EXPECT_EQ(QSize(limits->maxWidth, limits->maxHeight), window->size()) << title;
        const auto motif = x.motifHints(window->winId());
        ASSERT_EQ(motif.size(), 3u) << title;
        ASSERT_TRUE(motif[0] & kFunctions) << title;
        EXPECT_FALSE(motif[1] & (kAllFunctions | kMinimise | kMaximise)) << title;
        ASSERT_TRUE(motif[0] & kDecorations) << title;
        EXPECT_FALSE(motif[2] & (kMinimiseButton | kMaximiseButton)) << title;
    }
}

TEST_F(WindowsOnX11, TheDetailSheetOpensAboveTheSettingsWindowWithTheKeyboard) {
    core::HistoryService stored(h.defaults);
    stored.setEntries({testing::historyEntry("What is a sheet?", "A window over its parent.")});
    stored.saveHistory();
    SettingsView view(h.settings, h.defaults);
    showSettings(view, 3);
    auto* history = dynamic_cast<HistoryView*>(view.tabs()->currentWidget());
    ASSERT_NE(history, nullptr);

    history->openRow(0);
    QPointer<HistoryDetailView> sheet = history->detailSheet();
    ASSERT_NE(sheet, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(sheet));
    EXPECT_TRUE(runEventsUntil([&] { return x.stacksAbove(sheet->winId(), view.winId()); }))
        << "the sheet lies above the settings window";
    EXPECT_TRUE(runEventsUntil([&] { return x.hasFocus(sheet->winId()); })) << "the sheet has the keyboard";

    ASSERT_TRUE(xdotool("key Escape"));
    EXPECT_TRUE(runEventsUntil([&] { return sheet.isNull(); })) << "Escape, typed to the sheet, closes it";
}

TEST_F(WindowsOnX11, TheRecordersAlertOpensAboveTheSettingsWindowWithTheKeyboard) {
    // A combination the program's own menu uses cannot be recorded: an alert says so.
    QMenu menu;
    menu.addAction(QStringLiteral("Settings"))->setShortcut(QKeySequence(QStringLiteral("Ctrl+Alt+P")));
    GlobalShortcuts::setApplicationMainMenu(&menu);
    SettingsView view(h.settings, h.defaults);
    showSettings(view, 2);
    auto* tab = dynamic_cast<ShortcutsTabView*>(view.tabs()->currentWidget());
    ASSERT_NE(tab, nullptr);
    GlobalShortcuts::RecorderCocoa* field = tab->rows()->row(0).recorder->field();

    // Looks at the alert from inside its own event loop, then answers it
    // with Escape, or closes it after a while so that the test goes on.
    bool above = false, focused = false, answered = false;
    QElapsedTimer waited;
    QTimer look;
    look.setInterval(20);
    QObject::connect(&look, &QTimer::timeout, [&] {
        auto* alert = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!alert || !alert->isVisible()) return;
        if (!waited.isValid()) waited.start();
        above = above || x.stacksAbove(alert->winId(), view.winId());
        focused = focused || x.hasFocus(alert->winId());
        if (above && focused && !answered) {
            answered = true;
            xdotool("key Escape");
        } else if (waited.elapsed() > 5000) {
            alert->reject();
        }
    });
    look.start();

    ASSERT_TRUE(click(*field, field->rect().center()));
    ASSERT_TRUE(runEventsUntil([&] { return field->isRecording(); }));
    ASSERT_TRUE(xdotool("key ctrl+alt+p"));
    EXPECT_TRUE(runEventsUntil([&] { return waited.isValid() && !QApplication::activeModalWidget(); }, 10s));
    EXPECT_TRUE(above) << "the alert lies above the settings window";
    EXPECT_TRUE(focused) << "the alert has the keyboard";
    EXPECT_TRUE(answered);
    GlobalShortcuts::setApplicationMainMenu(nullptr);
}

// The wheel turns a slider only once the user has chosen it; until then it
// scrolls the page, whichever control passes under the pointer.
TEST_F(WindowsOnX11, TheWheelScrollsTheSettingsPageUntilASliderHasTheFocus) {
    SettingsView view(h.settings, h.defaults);
    showSettings(view, 1);
    auto* models = dynamic_cast<ModelsTabView*>(view.tabs()->currentWidget());
    ASSERT_NE(models, nullptr);
    QSlider& slider = *models->temperatureSlider();
    QScrollBar& page = *models->verticalScrollBar();
    const double temperature = h.settings.temperature();

    ASSERT_TRUE(wheel(slider, true));
    EXPECT_TRUE(runEventsUntil([&] { return page.value() > 0; })) << "the page scrolls";
    testsupport::runEventsFor(100ms);
    EXPECT_EQ(h.settings.temperature(), temperature);
    EXPECT_TRUE(h.changes("model_temperature").empty());

    // Chosen by a click on its handle (which moves nothing), it takes the wheel.
    ASSERT_TRUE(click(slider, testing::sliderHandleCentre(slider)));
    ASSERT_TRUE(runEventsUntil([&] { return slider.hasFocus(); }));
    const int scrolled = page.value();
    ASSERT_TRUE(wheel(slider, true));
    EXPECT_TRUE(runEventsUntil([&] { return h.settings.temperature() != temperature; })) << "the slider moves";
    EXPECT_EQ(page.value(), scrolled);
}

}  // namespace
}  // namespace windows
