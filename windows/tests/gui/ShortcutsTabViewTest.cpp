#include <gtest/gtest.h>

#include <QLabel>
#include <QSlider>
#include <QTabWidget>
#include <QTest>
#include <memory>

#include "GlobalShortcuts/KeyCharacters.h"
#include "GlobalShortcuts/Recorder.h"
#include "fakes/SettingsHarness.h"
#include "platform/fake/FakeKeyboardLayout.h"
#include "platform/fake/FakeLoginItemService.h"
#include "testsupport/LogCapture.h"
#include "testsupport/QtEvents.h"
#include "ui/Palette.h"
#include "ui/Screenshot.h"
#include "ui/ToggleSwitch.h"
#include "windows/SettingsView.h"
#include "windows/ShortcutsTabView.h"

namespace windows {
namespace {

using testing::SettingsHarness;

class ShortcutsTabViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        ui::Screenshot::ensureApplication();
        GlobalShortcuts::setKeyboardLayout(platform::FakeKeyboardLayout::usQwerty());
        LaunchAtLogin::setService(registry);
    }
    void TearDown() override {
        LaunchAtLogin::setService(nullptr);
        GlobalShortcuts::setKeyboardLayout(nullptr);
    }

    // The settings window on its Shortcuts tab.
    static ShortcutsTabView* openTab(SettingsView& view) {
        view.tabs()->setCurrentIndex(2);
        view.show();
        return dynamic_cast<ShortcutsTabView*>(view.tabs()->currentWidget());
    }

    SettingsHarness h;
    std::shared_ptr<platform::FakeLoginItemService> registry = std::make_shared<platform::FakeLoginItemService>();
};

TEST_F(ShortcutsTabViewTest, FourRowsWithTheirHeightsTextsAndRecordersOfTheirNames) {
    SettingsView view(h.settings, h.defaults);
    ShortcutsTabView* tab = openTab(view);
    ASSERT_NE(tab, nullptr);
    ShortcutRows* rows = tab->rows();
    const QStringList titles{"Toggle Quillary Window", "Instant Audio Mode", "Chat Mode", "Chat Voice Mode"};
    const QStringList names{"toggleQuillary", "toggleVoiceInput", "toggleChatMode", "toggleChatVoiceMode"};
    const int heights[] = {24, 44, 44, 44};
    int expectedTop = 8;
    for (std::size_t i = 0; i < 4; ++i) {
        const auto& row = rows->row(i);
        EXPECT_EQ(row.title->text(), titles[int(i)]);
        EXPECT_EQ(row.title->palette().color(QPalette::WindowText), ui::Palette::color(ui::Colour::White));
        EXPECT_EQ(row.description->palette().color(QPalette::WindowText), ui::Palette::color(ui::Colour::Grey));
        EXPECT_EQ(rows->slot(i).top(), expectedTop);
        EXPECT_EQ(rows->slot(i).height(), heights[i]);
        expectedTop += heights[i] + 12;
        // The row's content is centred on its slot, the recorder at the right.
        EXPECT_EQ(row.widget->geometry().center().y(), rows->slot(i).center().y()) << i;
        EXPECT_EQ(row.recorder->width(), 140);
        EXPECT_EQ(row.recorder->mapTo(rows, QPoint(row.recorder->width(), 0)).x(), rows->width());
        EXPECT_EQ(QString::fromStdString(row.recorder->name().rawValue()), names[int(i)]);
        EXPECT_TRUE(row.recorder->hasLabel());
        EXPECT_FALSE(row.recorder->field()->text().isEmpty()) << "the stored default shows";
        // Titles never run under the recorder.
        EXPECT_LT(row.description->mapTo(rows, QPoint(row.description->width(), 0)).x(),
                  row.recorder->mapTo(rows, QPoint(0, 0)).x());
    }
    EXPECT_EQ(rows->row(2).description->text(), "Opens Quillary in chat mode for continuous conversation");
    EXPECT_FALSE(rows->row(0).recorder->field()->isRecording());  // showing the tab starts no recording

    // The description wraps instead of being cut off.
    QLabel* description = tab->delayDescription();
    EXPECT_TRUE(description->wordWrap());
    EXPECT_GE(description->height(), description->heightForWidth(description->width()));
    EXPECT_GT(description->height(), 2 * description->fontMetrics().height() - 2);
    ui::Screenshot::save(view, QUILLARY_SCREENSHOT_DIR, "settings-shortcuts");
}

TEST_F(ShortcutsTabViewTest, TheSliderStoresOnlyWhenMovedAndItsEndsAreOneAndFiveSeconds) {
    SettingsView view(h.settings, h.defaults);
    ShortcutsTabView* tab = openTab(view);
    QSlider* slider = tab->delaySlider();
    EXPECT_EQ(tab->delayText()->text(), "2.0 seconds");
    EXPECT_EQ(tab->delayText()->width(), 70);
    EXPECT_TRUE(tab->delayText()->alignment() & Qt::AlignRight);
    EXPECT_FALSE(h.defaults->contains("silenceDuration"));

    QTest::keyClick(slider, Qt::Key_End);
    EXPECT_EQ(h.defaults->double_("silenceDuration"), 5.0);
    EXPECT_EQ(tab->delayText()->text(), "5.0 seconds");
    QTest::keyClick(slider, Qt::Key_Left);
    EXPECT_EQ(h.defaults->double_("silenceDuration"), 4.5);
    EXPECT_EQ(tab->delayText()->text(), "4.5 seconds");

    // A drag past the left end stops there, storing each step on the way.
    const QPoint handle(slider->width() * 7 / 8, slider->height() / 2);
    QTest::mousePress(slider, Qt::LeftButton, {}, handle);
    QTest::mouseMove(slider, QPoint(slider->width() / 2, slider->height() / 2));
    QTest::mouseMove(slider, QPoint(-200, slider->height() / 2));
    QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(-200, slider->height() / 2));
    EXPECT_EQ(h.defaults->double_("silenceDuration"), 1.0);
    EXPECT_EQ(tab->delayText()->text(), "1.0 seconds");
    ui::Screenshot::save(view, QUILLARY_SCREENSHOT_DIR, "settings-shortcuts-delay-1");
    EXPECT_TRUE(h.sink->events.empty());
}

TEST_F(ShortcutsTabViewTest, TheLaunchSwitchShowsWhatTheRegistryReportsAfterEachFlip) {
    SettingsView view(h.settings, h.defaults);
    ShortcutsTabView* tab = openTab(view);
    LaunchAtLogin::Toggle* toggle = tab->launchToggle();
    ASSERT_NE(toggle->label(), nullptr);
    EXPECT_EQ(dynamic_cast<QLabel*>(toggle->label())->text(), "Enabled");
    EXPECT_FALSE(toggle->control()->isChecked());
    const auto storedBefore = h.defaults->keys();

    // Another switch in the process follows after the loop's turn.
    LaunchAtLogin::Toggle other;
    EXPECT_EQ(dynamic_cast<QLabel*>(other.label())->text(), "Launch at login");

    QTest::mouseClick(toggle->control(), Qt::LeftButton);
    EXPECT_EQ(registry->calls, std::vector<std::string>{"register"});
    EXPECT_TRUE(toggle->control()->isChecked());
    EXPECT_TRUE(testsupport::runEventsUntil([&] { return other.control()->isChecked(); }));
    tab->ensureWidgetVisible(toggle);
    ui::Screenshot::save(view, QUILLARY_SCREENSHOT_DIR, "settings-shortcuts-launch-on");

    // Refused: logged, and the switch goes back to on.
    testsupport::LogCapture log;
    registry->unregisterFailure = "Operation not permitted";
    QTest::mouseClick(toggle->control(), Qt::LeftButton);
    EXPECT_TRUE(toggle->control()->isChecked());
    EXPECT_EQ(log.errors(), std::vector<std::string>{"Failed to disable launch at login: Operation not permitted"});

    // Waiting for approval shows as off.
    registry->unregisterFailure.reset();
    registry->afterRegister = platform::LoginItemStatus::RequiresApproval;
    QTest::mouseClick(toggle->control(), Qt::LeftButton);  // off
    QTest::mouseClick(toggle->control(), Qt::LeftButton);  // on, but not approved
    EXPECT_FALSE(toggle->control()->isChecked());
    EXPECT_EQ(h.defaults->keys(), storedBefore);
    EXPECT_TRUE(h.sink->events.empty());
}

}  // namespace
}  // namespace windows
