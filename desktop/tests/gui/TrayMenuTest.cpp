#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QPainter>
#include <QSystemTrayIcon>
#include <QTest>

#include <csignal>
#include <memory>
#include <vector>

#include "GlobalShortcuts/ApplicationMenu.h"
#include "desktop/QuitSignals.h"
#include "desktop/TrayMenu.h"
#include "platform/qt/QtMainLoop.h"
#include "testsupport/LogCapture.h"
#include "testsupport/QtEvents.h"
#include "ui/Screenshot.h"

namespace {

class TrayMenuTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ui::Screenshot::ensureApplication(); }

    desktop::MenuModel recordingModel() {
        return desktop::MenuModel({
            .openPreferences = [this] { calls.push_back("preferences"); },
            .checkAccessibilityPermissions = [this] { calls.push_back("accessibility"); },
            .showHelp = [this] { calls.push_back("help"); },
            .quit = [this] { calls.push_back("quit"); },
        });
    }

    std::vector<std::string> calls;
};

TEST_F(TrayMenuTest, MenuHasTheModelsRowsWithTheirKeysShown) {
    desktop::TrayMenu tray(recordingModel());
    const QList<QAction*> actions = tray.menu().actions();
    ASSERT_EQ(actions.size(), 6);
    const QStringList texts{"Preferences...", "", "Check Accessibility Permissions", "Help && FAQs", "", "Quit Quillary"};
    const QStringList keys{"Ctrl+,", "", "", "Ctrl+?", "", "Ctrl+Q"};
    for (int i = 0; i < actions.size(); ++i) {
        EXPECT_EQ(actions[i]->isSeparator(), texts[i].isEmpty()) << i;
        EXPECT_EQ(actions[i]->text(), texts[i]) << i;
        EXPECT_EQ(actions[i]->shortcut().toString(QKeySequence::PortableText), keys[i]) << i;
        if (!keys[i].isEmpty()) {
            EXPECT_TRUE(actions[i]->isShortcutVisibleInContextMenu()) << i;
        }
    }
    EXPECT_EQ(tray.trayIcon().contextMenu(), &tray.menu());
    EXPECT_FALSE(tray.trayIcon().icon().isNull());
    // The shortcut recorder refuses the keys this menu uses.
    EXPECT_EQ(GlobalShortcuts::applicationMainMenu(), &tray.menu());
}

TEST_F(TrayMenuTest, RowsRunTheirActionsAfterTheMenuCloses) {
    desktop::TrayMenu tray(recordingModel());
    const QList<QAction*> actions = tray.menu().actions();
    for (int i : {0, 2, 3, 5}) actions[i]->trigger();
    EXPECT_TRUE(calls.empty()) << "actions wait for the menu's event handling to end";
    ASSERT_TRUE(testsupport::runEventsUntil([&] { return calls.size() == 4; }));
    EXPECT_EQ(calls, (std::vector<std::string>{"preferences", "accessibility", "help", "quit"}));
}

TEST_F(TrayMenuTest, KeyEquivalentsWorkWhileTheMenuIsOpen) {
    desktop::TrayMenu tray(recordingModel());
    tray.menu().popup(QPoint(100, 100));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&tray.menu()));
    ui::Screenshot::save(tray.menu(), QStringLiteral(QUILLARY_SCREENSHOT_DIR), "tray-menu");

    QTest::keyClick(&tray.menu(), Qt::Key_Comma, Qt::ControlModifier);
    QTest::keyClick(&tray.menu(), Qt::Key_Question, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(&tray.menu(), Qt::Key_Q, Qt::ControlModifier);
    ASSERT_TRUE(testsupport::runEventsUntil([&] { return calls.size() == 3; })) << calls.size();
    EXPECT_EQ(calls, (std::vector<std::string>{"preferences", "help", "quit"}));
}

TEST_F(TrayMenuTest, NoTrayIsOneLogLineNotAFailure) {
    testsupport::LogCapture log;
    desktop::TrayMenu tray(recordingModel());
    // The offscreen platform has no tray, as a bare X server has none.
    EXPECT_FALSE(tray.show());
    EXPECT_EQ(log.messages(), (std::vector<std::string>{desktop::TrayMenu::kNoTrayMessage}));
}

TEST_F(TrayMenuTest, IconIsReadableOnLightAndDarkPanels) {
    const QPixmap pixmap = desktop::TrayMenu::icon().pixmap(18, 18);
    ASSERT_EQ(pixmap.size(), QSize(18, 18));
    const QImage image = pixmap.toImage();
    int light = 0, dark = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() < 200) continue;
            if (c.lightness() > 200) ++light;
            if (c.lightness() < 60) ++dark;
        }
    EXPECT_GT(light, 20) << "a white glyph for dark panels";
    EXPECT_GT(dark, 20) << "a dark rim for light panels";
    QImage sheet(60, 24, QImage::Format_ARGB32);
    sheet.fill(QColor(235, 235, 235));
    QPainter painter(&sheet);
    painter.fillRect(30, 0, 30, 24, QColor(35, 35, 35));
    painter.drawPixmap(3, 3, pixmap);
    painter.drawPixmap(33, 3, pixmap);
    painter.end();
    ASSERT_TRUE(sheet.save(QStringLiteral(QUILLARY_SCREENSHOT_DIR "/tray-icon-on-panels.png")));
}

TEST(QuitSignals, TermAndIntReachTheMainLoop) {
    ui::Screenshot::ensureApplication();
    auto loop = std::make_shared<platform::QtMainLoop>();
    std::vector<int> received;
    {
        const desktop::QuitSignals quitSignals(loop, [&](int signal) { received.push_back(signal); });
        std::raise(SIGTERM);
        std::raise(SIGINT);
        ASSERT_TRUE(testsupport::runEventsUntil([&] { return received.size() == 2; }));
    }
    EXPECT_EQ(received, (std::vector<int>{SIGTERM, SIGINT}));
}

}  // namespace
