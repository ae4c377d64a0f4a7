#include <gtest/gtest.h>

#include <QWindow>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>

#include <memory>

#include "core/Analytics.h"
#include "core/Settings.h"
#include "desktop/FloatingPanel.h"
#include "desktop/FloatingWindowController.h"
#include "desktop/FloatingWindowManager.h"
#include "desktop/QuillaryApp.h"
#include "platform/fake/FakePanelWindowSystem.h"
#include "platform/fake/InMemoryUserDefaults.h"
#include "platform/fake/ManualMainLoop.h"
#include "testsupport/QtEvents.h"
#include "ui/Screenshot.h"

namespace desktop {
namespace {

// A line edit that counts the Escape presses that reach it.
class EscapeCounter final : public QLineEdit {
public:
    int escapes = 0;

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Escape) ++escapes;
        QLineEdit::keyPressEvent(event);
    }
};

// Stands in for the panel's view: the rounded dark background the real view
// draws, around a prompt field.
class RoundedView final : public QWidget {
public:
    RoundedView() {
        setFixedSize(500, 120);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(24, 24, 24, 24);
        field = new EscapeCounter;
        layout->addWidget(field);
    }
    EscapeCounter* field;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(31, 31, 31));
        painter.drawRoundedRect(QRectF(rect()), FloatingPanel::kCornerRadius, FloatingPanel::kCornerRadius);
    }
};

class FloatingPanelTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ui::Screenshot::ensureApplication(); }

    // A normal window of the program (the settings window, say) with a field.
    void SetUp() override {
        other = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(other.get());
        otherField = new EscapeCounter;
        layout->addWidget(otherField);
        other->resize(300, 100);
    }

    static bool activate(QWidget& window) {
        window.show();
        window.activateWindow();
        return testsupport::runEventsUntil([&] { return window.isActiveWindow(); });
    }

    std::unique_ptr<QWidget> other;
    EscapeCounter* otherField = nullptr;
};

TEST_F(FloatingPanelTest, IsAFramelessToolWindowAboveOthersThatFollowsItsViewsSize) {
    auto system = std::make_shared<platform::FakePanelWindowSystem>();
    auto view = std::make_unique<RoundedView>();
    QWidget* viewPointer = view.get();
    FloatingPanel panel(std::move(view), system);

    EXPECT_TRUE(panel.windowFlags().testFlag(Qt::Tool));
    EXPECT_TRUE(panel.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(panel.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(panel.testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_FALSE(panel.testAttribute(Qt::WA_DeleteOnClose));
    // Sized before it is shown, so that placement reads the real height.
    EXPECT_EQ(panel.panelHeight(), 120);
    EXPECT_EQ(panel.width(), 500);

    panel.showPanel();
    ASSERT_EQ(system->prepared.size(), 1u);
    EXPECT_EQ(system->prepared[0], static_cast<std::uint64_t>(panel.winId()));
    EXPECT_EQ(system->activated, system->prepared);
    EXPECT_TRUE(panel.mask().isEmpty());  // a compositor blends the corners
    viewPointer->setFixedSize(500, 200);
    EXPECT_TRUE(testsupport::runEventsUntil([&] { return panel.height() == 200; }));

    panel.closePanel();
    EXPECT_FALSE(panel.isPanelVisible());
    EXPECT_EQ(panel.content(), viewPointer);  // hidden, not released
}

TEST_F(FloatingPanelTest, WithoutACompositorTheWindowIsCutToTheRoundedShape) {
    auto system = std::make_shared<platform::FakePanelWindowSystem>();
    system->compositor = false;
    FloatingPanel panel(std::make_unique<RoundedView>(), system);
    // Cut before it is mapped: mapped whole and cut after, it would leave
    // black corners on a program below that does not draw them again.
    struct MaskAtShow final : QObject {
        QRegion mask;
        bool eventFilter(QObject* watched, QEvent* event) override {
            if (event->type() == QEvent::Show) mask = static_cast<QWidget*>(watched)->mask();
            return false;
        }
    } atShow;
    panel.installEventFilter(&atShow);
    panel.showPanel();
    EXPECT_FALSE(atShow.mask.isEmpty());

    const QRegion mask = panel.mask();
    EXPECT_FALSE(mask.contains(QPoint(1, 1)));
    EXPECT_FALSE(mask.contains(QPoint(498, 118)));
    EXPECT_TRUE(mask.contains(QPoint(250, 60)));
    EXPECT_TRUE(mask.contains(QPoint(24, 1)));
    EXPECT_TRUE(mask.contains(QPoint(1, 60)));
    ui::Screenshot::save(panel, QUILLARY_SCREENSHOT_DIR, "floating-panel-masked");

    // A window manager that makes the window taller than its fixed size: the
    // strip below the content is cut away too.
    panel.windowHandle()->resize(500, 130);
    ASSERT_TRUE(testsupport::runEventsUntil([&] { return panel.height() == 130; }));
    EXPECT_FALSE(panel.mask().contains(QPoint(250, 125)));
    EXPECT_TRUE(panel.mask().contains(QPoint(250, 60)));

    // A compositor that starts or stops between showings.
    panel.closePanel();
    system->compositor = true;
    panel.showPanel();
    EXPECT_TRUE(panel.mask().isEmpty());
    panel.closePanel();
    system->compositor = false;
    panel.showPanel();
    EXPECT_FALSE(panel.mask().isEmpty());
}

TEST_F(FloatingPanelTest, EscapeClosesTheVisiblePanelAndGoesNoFurther) {
    auto view = std::make_unique<RoundedView>();
    EscapeCounter* panelField = view->field;
    FloatingWindowController controller(std::make_unique<FloatingPanel>(std::move(view)), QPoint(700, 450),
                                        QRect(0, 0, 1440, 900));
    int closed = 0;
    controller.setOnClosed([&] { ++closed; });
    controller.showWindow();
    auto* panel = dynamic_cast<FloatingPanel*>(controller.window());
    ASSERT_TRUE(testsupport::runEventsUntil([&] { return panel->isActiveWindow(); }));
    EXPECT_EQ(panel->pos(), QPoint(575, 500));

    // Other keys reach the panel's field.
    panelField->setFocus();
    QTest::keyClicks(panelField, "hi");
    EXPECT_EQ(panelField->text(), "hi");

    QTest::keyClick(panelField, Qt::Key_Escape);
    EXPECT_FALSE(panel->isVisible());
    EXPECT_EQ(panelField->escapes, 0);
    EXPECT_EQ(closed, 1);
}

// Keys kept for the panel never went through the toolkit's input, which
// composes accents: the panel composes them, and a sequence they leave open
// takes the next key typed into it.
TEST_F(FloatingPanelTest, KeptDeadKeysComposeWithTheNextKeyKeptOrTyped) {
    qputenv("LC_ALL", "C.UTF-8");
    auto view = std::make_unique<RoundedView>();
    EscapeCounter* field = view->field;
    FloatingPanel panel(std::move(view));
    int ready = 0;
    panel.setOnReadyForKeys([&] { ++ready; });
    panel.showPanel();
    field->setFocus();
    ASSERT_TRUE(testsupport::runEventsUntil([&] { return ready == 1; })) << "told once its field has the keyboard";

    const auto key = [](bool press, std::uint32_t code, std::uint32_t keysym, const char* text) {
        return platform::HeldKeyEvent{press, code, 0, 0, keysym, text};
    };
    // dead_circumflex, e, space, dead_acute: "ê " and an accent waiting.
    const std::vector<platform::HeldKeyEvent> kept{
        key(true, 34, 0xfe52, ""), key(false, 34, 0xfe52, ""), key(true, 26, 'e', "e"), key(false, 26, 'e', "e"),
        key(true, 65, ' ', " "),   key(false, 65, ' ', " "),   key(true, 35, 0xfe51, ""), key(false, 35, 0xfe51, "")};
    panel.typeHeldKeys(kept);
    EXPECT_EQ(field->text(), QString::fromUtf8("\u00ea "));

    QKeyEvent typed(QEvent::KeyPress, Qt::Key_E, Qt::NoModifier, 26, 'e', 0, QStringLiteral("e"));
    QApplication::sendEvent(field, &typed);
    EXPECT_EQ(field->text(), QString::fromUtf8("\u00ea \u00e9"));
    qunsetenv("LC_ALL");
}

// A tool that types thousands of keys right after the shortcut: the prompt
// gets each run of text keys as one change, not a change and a new layout
// of its whole text per key.
TEST_F(FloatingPanelTest, ThousandsOfKeptKeysGoIntoThePromptOneChangeARun) {
    qputenv("LC_ALL", "C.UTF-8");
    auto view = std::make_unique<QWidget>();
    view->setFixedSize(400, 120);
    auto* prompt = new QTextEdit;
    (new QVBoxLayout(view.get()))->addWidget(prompt);
    FloatingPanel panel(std::move(view));
    int ready = 0;
    panel.setOnReadyForKeys([&] { ++ready; });
    panel.showPanel();
    prompt->setFocus();
    ASSERT_TRUE(testsupport::runEventsUntil([&] { return ready == 1; }));

    std::vector<platform::HeldKeyEvent> kept;
    QString expected;
    int otherKeys = 0;
    const auto tap = [&](std::uint32_t code, std::uint32_t keysym, const char* text) {
        kept.push_back({true, code, 0, 0, keysym, text});
        kept.push_back({false, code, 0, 0, keysym, text});
    };
    for (int i = 0; i < 5000; ++i) {
        if (i % 1000 == 500) {
            tap(22, 0xff08, "\b");  // Backspace
            expected.chop(1);
            ++otherKeys;
        } else if (i == 2600) {
            tap(34, 0xfe51, "");  // dead_acute, then e: one "é"
            tap(26, 'e', "e");
            expected += QString::fromUtf8("\u00e9");
        } else {
            const char letter = static_cast<char>('a' + i % 26);
            const char text[] = {letter, 0};
            tap(static_cast<std::uint32_t>(24 + i % 26), static_cast<std::uint32_t>(letter), text);
            expected += QChar(letter);
        }
    }
    int changes = 0;
    QObject::connect(prompt, &QTextEdit::textChanged, [&] { ++changes; });
    panel.typeHeldKeys(kept);
    EXPECT_EQ(prompt->toPlainText(), expected);
    EXPECT_LE(changes, 2 * otherKeys + 1);
    qunsetenv("LC_ALL");
}

TEST_F(FloatingPanelTest, APanelOpenedLowOnTheScreenMovesUpAsItGrows) {
    auto view = std::make_unique<RoundedView>();
    QWidget* viewPointer = view.get();
    const QRect area(0, 0, 1440, 900);
    FloatingWindowController controller(std::make_unique<FloatingPanel>(std::move(view)), QPoint(700, 880), area);
    controller.showWindow();
    auto* panel = dynamic_cast<FloatingPanel*>(controller.window());
    ASSERT_TRUE(testsupport::runEventsUntil([&] { return panel->isVisible(); }));
    EXPECT_EQ(panel->pos(), QPoint(575, 660));  // its bottom 100 above the pointer

    // The transcript, the error line and more prompt lines make it taller.
    viewPointer->setFixedSize(500, 600);
    ASSERT_TRUE(testsupport::runEventsUntil([&] { return panel->height() == 600; }));
    EXPECT_TRUE(testsupport::runEventsUntil([&] { return panel->pos() == QPoint(575, 280); }));
    EXPECT_TRUE(area.contains(panel->geometry()));
}

TEST_F(FloatingPanelTest, WithThePanelClosedEscapeReachesTheProgramsOtherWindows) {
    FloatingWindowController controller(std::make_unique<FloatingPanel>(std::make_unique<RoundedView>()),
                                        QPoint(700, 450), QRect(0, 0, 1440, 900));
    controller.showWindow();
    controller.close();  // closed, and the controller kept

    ASSERT_TRUE(activate(*other));
    otherField->setFocus();
    QTest::keyClick(otherField, Qt::Key_Escape);
    EXPECT_EQ(otherField->escapes, 1);
    QTest::keyClicks(otherField, "ok");
    EXPECT_EQ(otherField->text(), "ok");
}

TEST_F(FloatingPanelTest, LosingTheKeyboardClosesButItsOwnPopupDoesNot) {
    FloatingWindowController controller(std::make_unique<FloatingPanel>(std::make_unique<RoundedView>()),
                                        QPoint(700, 450), QRect(0, 0, 1440, 900));
    controller.showWindow();
    auto* panel = dynamic_cast<FloatingPanel*>(controller.window());
    ASSERT_TRUE(testsupport::runEventsUntil([&] { return panel->isActiveWindow(); }));

    // The model picker is a popup child of the panel.
    QMenu picker(panel);
    picker.addAction("GPT-4o");
    picker.popup(panel->mapToGlobal(QPoint(20, 20)));
    ASSERT_TRUE(testsupport::runEventsUntil([&] { return picker.isVisible(); }));
    testsupport::runEventsFor(std::chrono::milliseconds(100));
    EXPECT_TRUE(panel->isVisible());
    picker.close();
    testsupport::runEventsFor(std::chrono::milliseconds(50));
    EXPECT_TRUE(panel->isVisible());

    ASSERT_TRUE(activate(*other));
    EXPECT_TRUE(testsupport::runEventsUntil([&] { return !panel->isVisible(); }));
}

TEST_F(FloatingPanelTest, ACloseFromOutsideGoesThroughTheController) {
    FloatingWindowController controller(std::make_unique<FloatingPanel>(std::make_unique<RoundedView>()),
                                        QPoint(700, 450), QRect(0, 0, 1440, 900));
    int closed = 0;
    controller.setOnClosed([&] { ++closed; });
    controller.showWindow();
    auto* panel = dynamic_cast<FloatingPanel*>(controller.window());

    // The window manager's close button, or a view closing its window.
    panel->close();
    EXPECT_FALSE(panel->isVisible());
    EXPECT_EQ(closed, 1);
}

TEST_F(FloatingPanelTest, ManagerHostsTheFactorysViewAndTogglesTheRealPanel) {
    auto defaults = std::make_shared<platform::InMemoryUserDefaults>();
    core::Analytics analytics;
    core::Settings settings(defaults, analytics);
    auto loop = std::make_shared<platform::ManualMainLoop>();
    FloatingWindowManager::Environment environment;
    environment.loop = loop;
    environment.pointerPosition = [] { return QPoint(100, 100); };
    environment.visibleFrame = [] { return std::optional<QRect>(QRect(0, 0, 1440, 900)); };
    environment.panelClosedWithoutPasteBack = [] {};
    FloatingWindowManager manager(settings, std::move(environment));
    EscapeCounter* hosted = nullptr;
    manager.setViewFactory([&](PanelViewContext) -> std::unique_ptr<QWidget> {
        auto view = std::make_unique<RoundedView>();
        hosted = view->field;
        return view;
    });

    manager.toggleWindow();
    ASSERT_NE(hosted, nullptr);
    QWidget* panel = hosted->window();
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->pos(), QPoint(20, 150));
    EXPECT_TRUE(FloatingPanel::isPanelWindow(panel->winId()));
    EXPECT_FALSE(FloatingPanel::isPanelWindow(other->winId()));

    // Escape closes it; the controller stays, and Escape passes on from now.
    ASSERT_TRUE(testsupport::runEventsUntil([&] { return panel->isActiveWindow(); }));
    QTest::keyClick(hosted, Qt::Key_Escape);
    EXPECT_EQ(manager.state(), FloatingWindowManager::State::panelClosedControllerKept);
    ASSERT_TRUE(activate(*other));
    QTest::keyClick(otherField, Qt::Key_Escape);
    EXPECT_EQ(otherField->escapes, 1);

    manager.toggleWindow();
    EXPECT_EQ(manager.state(), FloatingWindowManager::State::panelVisible);
    loop->runPending();
}

TEST_F(FloatingPanelTest, TheProgramsQuitEndsTheLoopWhileAPanelIsOnScreen) {
    // A panel turns every close from outside down; without an owner to hide
    // it, it stays on screen through Qt's close-all-windows step of a quit.
    FloatingPanel panel(std::make_unique<RoundedView>());
    panel.showPanel();
    other->show();
    ASSERT_TRUE(testsupport::runEventsUntil([&] { return panel.isVisible() && other->isVisible(); }));

    QTimer::singleShot(0, &QuillaryApp::quitEventLoop);
    // Fires only when the quit was dropped, so a fault fails instead of hanging.
    QTimer fallback;
    fallback.setSingleShot(true);
    QObject::connect(&fallback, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    fallback.start(10000);
    EXPECT_EQ(QApplication::exec(), 0);
}

}  // namespace
}  // namespace desktop
