#pragma once

#include <QApplication>
#include <QKeyEvent>
#include <QTest>
#include <QWidget>

#include <deque>
#include <memory>
#include <vector>

#include "Fixture.h"
#include "GlobalShortcuts/AlertPresenter.h"
#include "platform/KeyPositions.h"

// An alert presenter that records what it is asked and answers as scripted.
class RecordingAlertPresenter final : public GlobalShortcuts::AlertPresenter {
public:
    int runModal(const GlobalShortcuts::Alert& alert, QWidget* window) override {
        alerts.push_back(alert);
        windows.push_back(window);
        if (answers.empty())
            return GlobalShortcuts::Alert::firstButtonReturn;
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void beep() override { ++beeps; }

    std::vector<GlobalShortcuts::Alert> alerts;
    std::vector<QWidget*> windows;
    std::deque<int> answers;
    int beeps = 0;
};

// The shortcut library over fakes, inside a Qt application on the offscreen
// platform, with alerts recorded instead of shown.
class WidgetFixture : public ShortcutsFixture {
protected:
    static void SetUpTestSuite() {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "globalshortcuts_widget_tests";
        static char* argv[] = {name, nullptr};
        if (!QApplication::instance())
            new QApplication(argc, argv);  // lives as long as the process
    }

    void SetUp() override {
        ShortcutsFixture::SetUp();
        alerts = std::make_shared<RecordingAlertPresenter>();
        GlobalShortcuts::AlertPresenter::setCurrent(alerts);
    }
    void TearDown() override {
        GlobalShortcuts::AlertPresenter::setCurrent(nullptr);
        ShortcutsFixture::TearDown();
    }

    // Shows a top-level widget and waits until it is the active window.
    static void showActive(QWidget& window) {
        window.show();
        QApplication::setActiveWindow(&window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        QApplication::processEvents();
    }

    // Presses and releases a key at its physical position, as the desktop
    // delivers it to the active window.
    static void typeKey(QWidget& window, GlobalShortcuts::Key key, Qt::Key qtKey,
                        Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        const auto scanCode = static_cast<quint32>(platform::KeyPositions::x11FromCarbon(key.rawValue).value_or(0));
        QKeyEvent press(QEvent::KeyPress, qtKey, modifiers, scanCode, 0, 0);
        QCoreApplication::sendEvent(window.windowHandle(), &press);
        QKeyEvent release(QEvent::KeyRelease, qtKey, modifiers, scanCode, 0, 0);
        QCoreApplication::sendEvent(window.windowHandle(), &release);
    }

    // A left click at a point of `widget`, delivered through its window.
    static void clickOn(QWidget& widget, QPoint at) {
        QWidget* window = widget.window();
        QTest::mouseClick(window->windowHandle(), Qt::LeftButton, Qt::NoModifier, widget.mapTo(window, at));
    }
    static void clickOn(QWidget& widget) { clickOn(widget, widget.rect().center()); }

    std::shared_ptr<RecordingAlertPresenter> alerts;
};
