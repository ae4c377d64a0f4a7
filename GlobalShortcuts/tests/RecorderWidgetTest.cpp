#include <gtest/gtest.h>

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <string>
#include <vector>

#include "GlobalShortcuts/ApplicationMenu.h"
#include "GlobalShortcuts/GlobalKeyboardShortcutViewModifier.h"
#include "GlobalShortcuts/MessageBoxAlertPresenter.h"
#include "GlobalShortcuts/ModifierFlags.h"
#include "GlobalShortcuts/Recorder.h"
#include "GlobalShortcuts/RecorderCocoa.h"
#include "WidgetFixture.h"

using namespace GlobalShortcuts;
namespace Flags = GlobalShortcuts::ModifierFlags;

namespace {

const Shortcut kCommandShiftSpace(Key::space, Flags::command | Flags::shift);

// A settings-like window: a line edit, then one recorder row.
class RecorderWindow : public WidgetFixture {
protected:
    void SetUp() override {
        WidgetFixture::SetUp();
        name = std::make_unique<Name>("toggleQuillary", kCommandShiftSpace);
        window = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(window.get());
        edit = new QLineEdit;
        layout->addWidget(edit);
        row = new Recorder(QStringLiteral("Open Quillary:"), *name,
                           [this](const std::optional<Shortcut>& shortcut) { changes.push_back(shortcut); });
        layout->addWidget(row);
        recorder = row->field();
        showActive(*window);
        statusObserver = platform::NotificationCenter::defaultCenter().addObserver(
            std::string(kRecorderActiveStatusDidChange), [this](const platform::Notification& notification) {
                const auto* active = notification.value<bool>("isActive");
                statuses.push_back(active && *active);
            });
    }
    void TearDown() override {
        window.reset();
        statusObserver.reset();
        setApplicationMainMenu(nullptr);
        WidgetFixture::TearDown();
    }

    void startRecording() {
        clickOn(*recorder);
        ASSERT_TRUE(recorder->isRecording());
    }

    std::unique_ptr<Name> name;
    std::unique_ptr<QWidget> window;
    QLineEdit* edit = nullptr;
    Recorder* row = nullptr;
    RecorderCocoa* recorder = nullptr;
    std::vector<std::optional<Shortcut>> changes;
    std::vector<bool> statuses;
    platform::ObserverToken statusObserver;
};

TEST_F(RecorderWindow, ShowingTheWindowDoesNotStartRecording) {
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_EQ(recorder->text(), QStringLiteral("⇧⌘Space"));
    EXPECT_EQ(recorder->placeholderText(), QStringLiteral("Record Shortcut"));
    EXPECT_TRUE(recorder->showsClearButton());
    EXPECT_EQ(recorder->sizeHint().width(), 130);
    EXPECT_GE(recorder->width(), 130);
    EXPECT_TRUE(row->hasLabel());
    EXPECT_EQ(qobject_cast<QLabel*>(row->label())->text(), QStringLiteral("Open Quillary:"));
}

TEST_F(RecorderWindow, ARecorderAloneInItsWindowIsNotFocusedWhenTheWindowOpens) {
    QWidget alone;
    auto* field = new RecorderCocoa(*name, {}, &alone);
    showActive(alone);
    EXPECT_FALSE(field->isRecording());
    EXPECT_FALSE(isPaused());
    // Once the window is up, Tab reaches it like any other control.
    QApplication::processEvents();
    typeKey(alone, Key::tab, Qt::Key_Tab);
    EXPECT_TRUE(field->isRecording());
}

TEST_F(RecorderWindow, AClickRecordsAndTheNextValidComboIsStored) {
    startRecording();
    EXPECT_TRUE(isPaused());
    EXPECT_EQ(recorder->placeholderText(), QStringLiteral("Press Shortcut"));

    typeKey(*window, Key::k, Qt::Key_K, Qt::ControlModifier | Qt::AltModifier);
    const Shortcut expected(Key::k, Flags::control | Flags::option);
    EXPECT_EQ(getShortcut(*name), expected);
    EXPECT_EQ(recorder->text(), QStringLiteral("⌃⌥K"));
    EXPECT_EQ(changes, (std::vector<std::optional<Shortcut>>{expected}));
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_FALSE(recorder->hasFocus());
    EXPECT_FALSE(isPaused());
    EXPECT_TRUE(desktop->isGrabbed(combo(expected)));
    EXPECT_FALSE(desktop->isGrabbed(combo(kCommandShiftSpace)));
    EXPECT_EQ(statuses, (std::vector<bool>{true, false}));
}

TEST_F(RecorderWindow, EscapeCancelsAndALetterAloneOnlyBeeps) {
    startRecording();
    typeKey(*window, Key::a, Qt::Key_A);
    EXPECT_EQ(alerts->beeps, 1);
    EXPECT_TRUE(recorder->isRecording());
    EXPECT_TRUE(edit->text().isEmpty());  // the key never reached the window

    typeKey(*window, Key::escape, Qt::Key_Escape);
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_FALSE(isPaused());
    EXPECT_EQ(getShortcut(*name), kCommandShiftSpace);
    EXPECT_TRUE(changes.empty());
}

TEST_F(RecorderWindow, TabPassesFocusOnAndShiftTabIsACandidate) {
    startRecording();
    typeKey(*window, Key::tab, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(alerts->beeps, 1);
    EXPECT_TRUE(recorder->isRecording());

    typeKey(*window, Key::tab, Qt::Key_Tab);
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_FALSE(isPaused());
    EXPECT_TRUE(edit->hasFocus());
}

TEST_F(RecorderWindow, TheClearButtonRemovesTheShortcutAndRecords) {
    clickOn(*recorder, recorder->clearButtonRect().center());
    EXPECT_EQ(getShortcut(*name), std::nullopt);
    EXPECT_EQ(defaults->object("GlobalShortcuts_toggleQuillary"), platform::DefaultsValue(false));
    EXPECT_EQ(changes, (std::vector<std::optional<Shortcut>>{std::nullopt}));
    EXPECT_TRUE(recorder->text().isEmpty());
    EXPECT_FALSE(recorder->showsClearButton());
    EXPECT_TRUE(recorder->isRecording());
    EXPECT_EQ(recorder->placeholderText(), QStringLiteral("Press Shortcut"));
}

TEST_F(RecorderWindow, AClickElsewhereEndsRecordingAndReachesItsTarget) {
    startRecording();
    clickOn(*recorder, QPoint(recorder->width() + 2, recorder->height() / 2));  // within 3 pixels
    EXPECT_TRUE(recorder->isRecording());
    clickOn(*edit);
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_TRUE(edit->hasFocus());
    EXPECT_FALSE(isPaused());
}

TEST_F(RecorderWindow, AReservedComboIsRefusedWithItsAlertUnlessForced) {
    const Shortcut terminal(Key::t, Flags::control | Flags::option);
    desktop->occupy(combo(terminal));
    startRecording();
    typeKey(*window, Key::t, Qt::Key_T, Qt::ControlModifier | Qt::AltModifier);
    ASSERT_EQ(alerts->alerts.size(), 1u);
    EXPECT_EQ(alerts->alerts[0].title, "This keyboard shortcut cannot be used as it's already a system-wide keyboard shortcut.");
    EXPECT_EQ(alerts->alerts[0].buttonTitles, (std::vector<std::string>{"OK", "Use Anyway"}));
    EXPECT_EQ(alerts->windows[0], window.get());
    EXPECT_EQ(getShortcut(*name), kCommandShiftSpace);
    EXPECT_TRUE(recorder->isRecording());  // focus is back: recording again

    alerts->answers = {Alert::secondButtonReturn};
    typeKey(*window, Key::t, Qt::Key_T, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(getShortcut(*name), terminal);
    EXPECT_FALSE(recorder->isRecording());
}

TEST_F(RecorderWindow, AComboOfTheTrayMenuIsRefusedWithTheItemsTitle) {
    QMenu tray;
    QMenu* more = tray.addMenu(QStringLiteral("More"));
    more->addAction(QStringLiteral("&Quit Quillary"))->setShortcut(QKeySequence(Qt::ControlModifier | Qt::Key_Q));
    setApplicationMainMenu(&tray);
    startRecording();
    typeKey(*window, Key::q, Qt::Key_Q, Qt::ControlModifier);
    ASSERT_EQ(alerts->alerts.size(), 1u);
    EXPECT_EQ(alerts->alerts[0].title,
              "This keyboard shortcut cannot be used as it's already used by the “Quit Quillary” menu item.");
    EXPECT_EQ(getShortcut(*name), kCommandShiftSpace);
    EXPECT_TRUE(recorder->isRecording());
}

TEST_F(RecorderWindow, GlobalShortcutsPauseWhileRecordingAndButtonsDropTheirs) {
    const Name chat("toggleChatMode", Shortcut(Key::c, Flags::command | Flags::shift));
    int fired = 0;
    onKeyDown(chat, [&] { ++fired; });
    QPushButton button(QStringLiteral("Chat"));
    const auto* binding = globalKeyboardShortcut(button, chat);
    const QKeySequence chatKeys(Qt::MetaModifier | Qt::ShiftModifier | Qt::Key_C);
    EXPECT_EQ(button.shortcut(), chatKeys);

    startRecording();
    EXPECT_TRUE(binding->isRecorderActive());
    EXPECT_TRUE(button.shortcut().isEmpty());
    press(Shortcut(Key::c, Flags::command | Flags::shift));
    EXPECT_EQ(fired, 0);

    typeKey(*window, Key::escape, Qt::Key_Escape);
    EXPECT_FALSE(binding->isRecorderActive());
    EXPECT_EQ(button.shortcut(), chatKeys);
    press(Shortcut(Key::c, Flags::command | Flags::shift));
    EXPECT_EQ(fired, 1);
}

TEST_F(RecorderWindow, HidingLeavingTheWindowOrDestroyingTheFieldEndsRecording) {
    startRecording();
    window->hide();
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_FALSE(isPaused());
    EXPECT_EQ(statuses.back(), false);

    showActive(*window);
    EXPECT_FALSE(recorder->isRecording());  // coming back does not resume it
    startRecording();
    QWidget elsewhere;
    row->setParent(&elsewhere);
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_FALSE(isPaused());

    row->setParent(window.get());
    window->layout()->addWidget(row);
    row->show();
    startRecording();
    delete row;
    EXPECT_FALSE(isPaused());
    EXPECT_EQ(statuses.back(), false);
    EXPECT_EQ(ApplicationEvents::monitorCount(), 0u);
}

TEST_F(RecorderWindow, AnotherWindowTakingOverEndsRecording) {
    startRecording();
    QWidget other;
    showActive(other);
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_FALSE(isPaused());
    showActive(*window);
    EXPECT_FALSE(recorder->isRecording());
}

// One picture of each state, for review: build/.../screenshots/*.png.
TEST_F(RecorderWindow, ScreenshotsOfEachState) {
    const QString folder = QStringLiteral(QUILLARY_SCREENSHOT_DIR);
    ASSERT_TRUE(QDir().mkpath(folder));
    const auto save = [&](QWidget& widget, const char* file) {
        widget.repaint();
        const QPixmap picture = widget.grab();
        EXPECT_FALSE(picture.isNull());
        EXPECT_TRUE(picture.save(folder + QLatin1Char('/') + QLatin1String(file)));
    };
    save(*recorder, "recorder-idle-shortcut.png");
    save(*row, "recorder-row.png");
    startRecording();
    save(*recorder, "recorder-recording-shortcut.png");
    typeKey(*window, Key::delete_, Qt::Key_Backspace);
    save(*recorder, "recorder-recording-empty.png");
    typeKey(*window, Key::escape, Qt::Key_Escape);
    save(*recorder, "recorder-idle-empty.png");
    save(*window, "recorder-window.png");
}

// Alerts as message boxes

class MessageBoxes : public WidgetFixture {
protected:
    // Clicks button `index` of the message box once it is up.
    static void answerWith(int index) {
        auto* timer = new QTimer;
        QObject::connect(timer, &QTimer::timeout, timer, [timer, index] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                timer->deleteLater();
                box->buttons().at(index)->click();
            }
        });
        timer->start(10);
    }
};

TEST_F(MessageBoxes, AnswerWithTheChosenButtonOrTheFirst) {
    MessageBoxAlertPresenter presenter;
    answerWith(1);
    EXPECT_EQ(presenter.runModal(Alert("Taken", "Change it", AlertStyle::warning, {"OK", "Use Anyway"}), nullptr),
              Alert::secondButtonReturn);

    QWidget window;
    showActive(window);
    answerWith(0);
    EXPECT_EQ(presenter.runModal(Alert("Taken"), &window), Alert::firstButtonReturn);
}

}  // namespace
