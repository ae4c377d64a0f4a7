#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <QWindow>
#include <filesystem>
#include <memory>
#include <sys/stat.h>

#include "core/HistoryService.h"
#include "fakes/SettingsHarness.h"
#include "platform/linux/JsonFileUserDefaults.h"
#include "testsupport/QtEvents.h"
#include "testsupport/TempHome.h"
#include "ui/Screenshot.h"
#include "ui/SymbolIcon.h"
#include "windows/APIKeysTabView.h"
#include "windows/LinkButton.h"
#include "windows/SettingsView.h"
#include "windows/SettingsWindowController.h"

namespace windows {
namespace {

using testing::SettingsHarness;

class SettingsViewTest : public ::testing::Test {
protected:
    void SetUp() override { ui::Screenshot::ensureApplication(); }

    static APIKeysTabView* keysTab(SettingsView& view) {
        return dynamic_cast<APIKeysTabView*>(view.tabs()->widget(0));
    }
};

TEST_F(SettingsViewTest, FourTabsInOrderInAFixedDarkWindowKeptOnTop) {
    SettingsHarness h;
    SettingsView view(h.settings, h.defaults);
    EXPECT_EQ(view.windowTitle(), "Settings");
    EXPECT_EQ(view.size(), QSize(600, 500));
    EXPECT_EQ(view.minimumSize(), view.maximumSize());
    EXPECT_TRUE(view.windowFlags() & Qt::WindowStaysOnTopHint);

    const QStringList titles{"API Keys", "Models", "Shortcuts", "History"};
    const QStringList symbols{"key.fill", "cpu.fill", "keyboard.fill", "clock.fill"};
    ASSERT_EQ(view.tabs()->count(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(view.tabs()->tabText(i), titles[i]);
        EXPECT_EQ(view.tabs()->tabBar()->tabData(i).toString(), symbols[i]);
        EXPECT_TRUE(ui::SymbolIcon::has(symbols[i].toStdString()));
    }
    EXPECT_EQ(view.tabs()->currentIndex(), 0);
    EXPECT_TRUE(view.historyService().entries().empty());
}

TEST_F(SettingsViewTest, EveryTabHasAPicture) {
    SettingsHarness h;
    SettingsView view(h.settings, h.defaults);
    view.show();
    const QStringList names{"api-keys", "models", "shortcuts", "history"};
    for (int i = 0; i < view.tabs()->count(); ++i) {
        view.tabs()->setCurrentIndex(i);
        EXPECT_FALSE(ui::Screenshot::save(view, QUILLARY_SCREENSHOT_DIR, "settings-tab-" + names.value(i)).isNull());
    }
}

TEST_F(SettingsViewTest, PreferencesOpensRaisesAndAfterCloseMakesANewWindowOnTheFirstTab) {
    SettingsHarness h;
    SettingsWindowController controller(h.settings, h.defaults);
    controller.showSettings();
    QPointer<SettingsView> first = controller.window();
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->isVisible());
    first->tabs()->setCurrentIndex(2);

    controller.showSettings();  // open: raised, the same window
    EXPECT_EQ(controller.window(), first.data());
    EXPECT_EQ(first->tabs()->currentIndex(), 2);

    // An answer stored while the window is open is not in its history store.
    core::HistoryService other(h.defaults);
    other.addEntry("GPT-4o", "in", std::nullopt, "out", "App");
    EXPECT_TRUE(first->historyService().entries().empty());

    first->close();
    controller.showSettings();
    SettingsView* second = controller.window();
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, first.data());
    EXPECT_EQ(second->tabs()->currentIndex(), 0);
    EXPECT_EQ(second->historyService().entries().size(), 1u);
    EXPECT_TRUE(testsupport::runEventsUntil([&] { return first.isNull(); }));
}

TEST_F(SettingsViewTest, OnlyTheFirstVisibleSettingsWindowIsRaisedOnTop) {
    QWidget other;
    other.setWindowTitle("Settings");
    QWidget unrelated;
    unrelated.setWindowTitle("Other");
    other.show();
    unrelated.show();
    SettingsView::bringToFront();
    EXPECT_TRUE(other.windowHandle()->flags() & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(unrelated.windowHandle()->flags() & Qt::WindowStaysOnTopHint);
}

TEST_F(SettingsViewTest, EyeButtonsShowAndHideEachKeyOnItsOwnKeepingTheText) {
    SettingsHarness h;
    h.settings.setClaudeKey("secret");
    SettingsView view(h.settings, h.defaults);
    view.show();
    auto* tab = keysTab(view);
    ASSERT_NE(tab, nullptr);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(tab->section(i)->field()->echoMode(), QLineEdit::Password);
        EXPECT_EQ(ui::SymbolIcon::nameOf(*tab->section(i)->eyeButton()), "eye.slash.fill");
    }
    EXPECT_EQ(tab->section(1)->field()->text(), "secret");

    QTest::mouseClick(tab->section(1)->eyeButton(), Qt::LeftButton);
    EXPECT_EQ(tab->section(1)->field()->echoMode(), QLineEdit::Normal);
    EXPECT_EQ(ui::SymbolIcon::nameOf(*tab->section(1)->eyeButton()), "eye.fill");
    EXPECT_EQ(tab->section(1)->field()->text(), "secret");
    EXPECT_EQ(tab->section(0)->field()->echoMode(), QLineEdit::Password);
    EXPECT_EQ(tab->section(2)->field()->echoMode(), QLineEdit::Password);
    ui::Screenshot::save(view, QUILLARY_SCREENSHOT_DIR, "settings-api-keys");

    QTest::mouseClick(tab->section(1)->eyeButton(), Qt::LeftButton);
    EXPECT_EQ(tab->section(1)->field()->echoMode(), QLineEdit::Password);
    EXPECT_EQ(tab->section(1)->field()->text(), "secret");
}

TEST_F(SettingsViewTest, TypingStoresEachKeystrokeWithoutMovingTheCursor) {
    SettingsHarness h;
    SettingsView view(h.settings, h.defaults);
    view.show();
    QLineEdit* field = keysTab(view)->section(0)->field();
    field->setFocus();
    QTest::keyClicks(field, "abc");
    EXPECT_EQ(h.settings.openaiKey(), "abc");
    EXPECT_EQ(h.changes("openai_api_key").size(), 3u);
    EXPECT_FALSE(h.anyEventContains("abc"));

    field->setCursorPosition(1);
    QTest::keyClick(field, Qt::Key_X);
    EXPECT_EQ(h.settings.openaiKey(), "axbc");
    EXPECT_EQ(field->cursorPosition(), 2);

    // A key set elsewhere shows in the open tab.
    h.settings.setOpenaiKey("from elsewhere");
    EXPECT_EQ(field->text(), "from elsewhere");

    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_Backspace);
    EXPECT_EQ(h.defaults->string("openai_api_key"), "");
}

TEST_F(SettingsViewTest, LinksPointAtTheProvidersPages) {
    SettingsHarness h;
    SettingsView view(h.settings, h.defaults);
    auto* tab = keysTab(view);
    const QStringList hosts{"platform.openai.com", "console.anthropic.com", "ai.google.dev"};
    for (std::size_t i = 0; i < 3; ++i) {
        const LinkButton* link = tab->section(i)->link();
        EXPECT_EQ(link->text(), "Get API key from " + hosts[int(i)]);
        EXPECT_EQ(link->url(), QUrl("https://" + hosts[int(i)]));
    }
}

TEST_F(SettingsViewTest, TypedAndPastedHugeKeysAreStoredWholeInPrivateFiles) {
    const auto folder = testsupport::freshDirectory("settings");
    const auto file = folder / "defaults.json";
    auto defaults = std::make_shared<platform::JsonFileUserDefaults>(file);
    core::Analytics analytics;
    core::Settings settings(defaults, analytics);
    {
        SettingsView view(settings, defaults);
        view.show();
        QLineEdit* field = keysTab(view)->section(0)->field();
        field->setFocus();
        QTest::keyClicks(field, "sk-typed");
        // A pasted key longer than a line edit takes by default is stored whole.
        keysTab(view)->section(1)->field()->insert(QString(80 * 1024, QLatin1Char('c')));
    }
    EXPECT_EQ(settings.claudeKey().size(), 80u * 1024);
    ASSERT_TRUE(defaults->flush());
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        struct stat info {};
        ASSERT_EQ(::stat(entry.path().c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0600u) << entry.path();
        ++files;
    }
    EXPECT_GE(files, 2u);  // the settings file and the large key's own file
}

}  // namespace
}  // namespace windows
