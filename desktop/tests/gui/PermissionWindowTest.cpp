#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include "desktop/AccessibilityPermissionView.h"
#include "desktop/PermissionStepView.h"
#include "desktop/PermissionWindow.h"
#include "ui/Screenshot.h"
#include "ui/SymbolIcon.h"
#include "unit/PermissionFakes.h"

namespace desktop {
namespace {

using Strings = std::vector<std::string>;

class PermissionWindowGui : public ::testing::Test, protected testing::PermissionFixture {
protected:
    static void SetUpTestSuite() { ui::Screenshot::ensureApplication(); }

    void SetUp() override {
        defaults->setBool(AccessibilityManager::launchedBeforeKey, true);
        trust->trusted = true;  // nothing shows by itself
        manager = std::make_unique<AccessibilityManager>(dependencies([this](AccessibilityManager& owner) {
            auto window = std::make_unique<PermissionWindow>(owner);
            made = window.get();
            ++windows->created;
            return window;
        }));
    }

    // Shows the window as the menu does and returns its top-level widget.
    QWidget& show() {
        manager->showPermissionWindow();
        loop->runPending();
        EXPECT_NE(made, nullptr);
        QWidget& window = *made->window();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
        return window;
    }
    AccessibilityPermissionView& view(QWidget& window) { return *window.findChild<AccessibilityPermissionView*>(); }

    std::unique_ptr<AccessibilityManager> manager;
    PermissionWindow* made = nullptr;
};

// What the view shows, top to bottom: the symbol, the texts, each step with
// its number, the buttons.
Strings contents(const QWidget& view) {
    Strings out;
    for (QObject* child : view.children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (!widget)
            continue;
        if (!ui::SymbolIcon::nameOf(*widget).isEmpty())
            out.push_back("symbol " + ui::SymbolIcon::nameOf(*widget).toStdString());
        else if (auto* step = dynamic_cast<PermissionStepView*>(widget))
            out.push_back(std::to_string(step->number()) + ". " + step->textLabel()->text().toStdString());
        else if (auto* label = qobject_cast<QLabel*>(widget))
            out.push_back(label->text().toStdString());
        else if (auto* button = qobject_cast<QPushButton*>(widget))
            out.push_back("[" + button->text().toStdString() + "]");
    }
    return out;
}

TEST_F(PermissionWindowGui, ShowsTheTextsInOrderInAWindowThatStaysOnTop) {
    QWidget& window = show();
    EXPECT_EQ(contents(view(window)),
              (Strings{"symbol lock.shield", "Accessibility Permissions Required",
                       "Quillary needs accessibility permissions to read and replace text in other applications. "
                       "This allows you to use AI assistance seamlessly across your desktop.",
                       "1. Click 'Open System Settings' below",
                       "2. Log in to an X11 session (on Wayland, choose the X11 session at the login screen)",
                       "3. Make sure your X server offers the XTest extension (X11 desktops have it)",
                       "4. Optionally customise your shortcut in the settings - default: Super + Shift + Space",
                       "5. Enjoy using Quillary anywhere!", "[Open System Settings]", "[Check Permissions]"}));
    EXPECT_EQ(window.windowTitle(), "Accessibility Permissions");
    EXPECT_TRUE(window.windowFlags() & Qt::WindowStaysOnTopHint);
    for (const auto* label : view(window).findChildren<QLabel*>())
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->text().toStdString();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    // Centred; the window manager's frame (unknown before it is shown) may
    // move it by a few pixels.
    EXPECT_LE((window.geometry().center() - screen.center()).manhattanLength(), 8);
}

TEST_F(PermissionWindowGui, EveryStepWrapsInsideTheWindowAndNoneIsCutOff) {
    QWidget& window = show();
    EXPECT_EQ(window.width(), 480);
    EXPECT_GE(window.height(), 400);
    const QRect inside = window.rect();
    int wrapped = 0;
    for (const auto* label : view(window).findChildren<QLabel*>()) {
        const QRect box(label->mapTo(&window, QPoint()), label->size());
        EXPECT_TRUE(inside.contains(box)) << label->text().toStdString();
        EXPECT_GE(label->height(), label->heightForWidth(label->width())) << label->text().toStdString();
        if (label->height() > 2 * label->fontMetrics().height())
            ++wrapped;
    }
    EXPECT_GE(wrapped, 2) << "the explanation and the long steps take more than one line";
    for (const auto* button : view(window).findChildren<QPushButton*>()) {
        EXPECT_TRUE(inside.contains(QRect(button->mapTo(&window, QPoint()), button->size())));
        EXPECT_GE(button->width(), button->fontMetrics().horizontalAdvance(button->text()));
    }
    EXPECT_FALSE(ui::Screenshot::save(window, QUILLARY_SCREENSHOT_DIR, "permission-window").isNull());
}

TEST_F(PermissionWindowGui, ReturnOpensTheSettingsAndHidesTheWindowUntilTheNextShow) {
    QWidget& window = show();
    view(window).checkPermissionsButton()->setFocus();  // the default action wins over focus
    QTest::keyClick(&window, Qt::Key_Return);
    EXPECT_EQ(settingsLink->opened, std::vector{platform::SettingsPane::Accessibility});
    EXPECT_FALSE(window.isVisible());

    QWidget& again = show();
    EXPECT_EQ(&again, &window);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(trust->promptCalls, 1);

    // At quit the manager goes after the event loop has ended: so does the window.
    QPointer<QWidget> watched(&window);
    manager.reset();
    EXPECT_TRUE(watched.isNull());
}

TEST_F(PermissionWindowGui, CheckPermissionsClosesTheWindowOnlyOnceTrusted) {
    QWidget& window = show();
    trust->trusted = false;
    QTest::mouseClick(view(window).checkPermissionsButton(), Qt::LeftButton);
    loop->runPending();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(windows->created, 1);
    EXPECT_EQ(trust->promptCalls, 1) << "back to the front, no new prompt";

    trust->trusted = true;
    QPointer<QWidget> watched(&window);
    QTest::mouseClick(view(window).checkPermissionsButton(), Qt::LeftButton);
    EXPECT_FALSE(manager->hasPermissionWindow());
    EXPECT_FALSE(manager->isWindowVisible());
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(watched.isNull()) << "the closed window is deleted once its click is over";
    EXPECT_TRUE(settingsLink->opened.empty());
}

}  // namespace
}  // namespace desktop
