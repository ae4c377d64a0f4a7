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
#include "WidgetFixture.h"

using namespace GlobalShortcuts;
namespace Flags = GlobalShortcuts::ModifierFlags;

namespace {

const Shortcut kCommandShiftSpace(Key::space, Flags::command | Flags::shift);

// A settings-like window: a line edit, then one labelled recorder row.
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
    }
    void TearDown() override {
        window.reset();
        setApplicationMainMenu(nullptr);
        WidgetFixture::TearDown();
    }

    void startRecording() {
        clickOn(*recorder);
        ASSERT_TRUE(recorder->isRecording());
        ASSERT_TRUE(isPaused());
    }

    std::unique_ptr<Name> name;
    std::unique_ptr<QWidget> window;
    QLineEdit* edit = nullptr;
    Recorder* row = nullptr;
    RecorderCocoa* recorder = nullptr;
    std::vector<std::optional<Shortcut>> changes;
};

TEST_F(RecorderWindow, OpeningAWindowNeverStartsRecording) {
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_EQ(recorder->text(), QStringLiteral("⇧⌘Space"));
    EXPECT_EQ(recorder->placeholderText(), QStringLiteral("Record Shortcut"));
    EXPECT_EQ(recorder->sizeHint().width(), 130);
    EXPECT_EQ(qobject_cast<QLabel*>(row->label())->text(), QStringLiteral("Open Quillary:"));

    // Even as the first control of its window; Tab reaches it afterwards.
    QWidget alone;
    auto* field = new RecorderCocoa(*name, {}, &alone);
    showActive(alone);
    EXPECT_FALSE(field->isRecording());
    typeKey(alone, Key::tab, Qt::Key_Tab);
    EXPECT_TRUE(field->isRecording());
}

TEST_F(RecorderWindow, AClickRecordsAndTheNextValidComboIsStored) {
    startRecording();
    EXPECT_EQ(recorder->placeholderText(), QStringLiteral("Press Shortcut"));
    typeKey(*window, Key::k, Qt::Key_K, Qt::ControlModifier | Qt::AltModifier);
    const Shortcut expected(Key::k, Flags::control | Flags::option);
    EXPECT_EQ(getShortcut(*name), expected);
    EXPECT_EQ(recorder->text(), QStringLiteral("⌃⌥K"));
    EXPECT_EQ(changes, (std::vector<std::optional<Shortcut>>{expected}));
    EXPECT_FALSE(recorder->hasFocus());
    EXPECT_FALSE(isPaused());
    EXPECT_TRUE(desktop->isGrabbed(combo(expected)));
    EXPECT_FALSE(desktop->isGrabbed(combo(kCommandShiftSpace)));
}

TEST_F(RecorderWindow, EscapeTabAndClicksElsewhereEndRecordingAndChangeNothing) {
    startRecording();
    typeKey(*window, Key::control, Qt::Key_Control, Qt::ControlModifier);  // on its way to Ctrl+something
    typeKey(*window, Key::a, Qt::Key_A);
    EXPECT_EQ(alerts->beeps, 1);
    EXPECT_TRUE(edit->text().isEmpty());  // swallowed while recording
    typeKey(*window, Key::escape, Qt::Key_Escape);
    EXPECT_FALSE(recorder->isRecording());

    startRecording();
    typeKey(*window, Key::tab, Qt::Key_Tab);
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_TRUE(edit->hasFocus());

    startRecording();
    clickOn(*recorder, QPoint(recorder->width() + 2, recorder->height() / 2));  // within 3 pixels
    EXPECT_TRUE(recorder->isRecording());
    clickOn(*edit);
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_TRUE(edit->hasFocus());
    EXPECT_FALSE(isPaused());
    EXPECT_EQ(getShortcut(*name), kCommandShiftSpace);
    EXPECT_TRUE(changes.empty());
}

TEST_F(RecorderWindow, TheClearButtonRemovesTheShortcutAndRecords) {
    clickOn(*recorder, recorder->clearButtonRect().center());
    EXPECT_EQ(defaults->object("GlobalShortcuts_toggleQuillary"), platform::DefaultsValue(false));
    EXPECT_EQ(changes, (std::vector<std::optional<Shortcut>>{std::nullopt}));
    EXPECT_TRUE(recorder->text().isEmpty());
    EXPECT_FALSE(recorder->showsClearButton());
    EXPECT_TRUE(recorder->isRecording());
}

TEST_F(RecorderWindow, ReservedAndTrayMenuCombosAreRefusedWithTheirAlerts) {
    const Shortcut terminal(Key::t, Flags::control | Flags::option);
    desktop->occupy(combo(terminal));
    QMenu tray;
    tray.addMenu(QStringLiteral("More"))
        ->addAction(QStringLiteral("&Quit Quillary"))
        ->setShortcut(QKeySequence(Qt::ControlModifier | Qt::Key_Q));
    setApplicationMainMenu(&tray);

    startRecording();
    typeKey(*window, Key::t, Qt::Key_T, Qt::ControlModifier | Qt::AltModifier);
    typeKey(*window, Key::q, Qt::Key_Q, Qt::ControlModifier);
    ASSERT_EQ(alerts->alerts.size(), 2u);
    EXPECT_EQ(alerts->alerts[0].title,
              "This keyboard shortcut cannot be used as it's already a system-wide keyboard shortcut.");
    EXPECT_EQ(alerts->alerts[0].buttonTitles, (std::vector<std::string>{"OK", "Use Anyway"}));
    EXPECT_EQ(alerts->windows[0], window.get());
    EXPECT_EQ(alerts->alerts[1].title,
              "This keyboard shortcut cannot be used as it's already used by the “Quit Quillary” menu item.");
    EXPECT_EQ(getShortcut(*name), kCommandShiftSpace);
    EXPECT_TRUE(recorder->isRecording());  // focus is back after each alert

    alerts->answers = {Alert::secondButtonReturn};
    typeKey(*window, Key::t, Qt::Key_T, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(getShortcut(*name), terminal);
}

TEST_F(RecorderWindow, GlobalShortcutsAndButtonShortcutsPauseWhileRecording) {
    const Shortcut chatKeys(Key::c, Flags::command | Flags::shift);
    const Name chat("toggleChatMode", chatKeys);
    int fired = 0;
    onKeyDown(chat, [&] { ++fired; });
    QPushButton button(QStringLiteral("Chat"));
    globalKeyboardShortcut(button, chat);
    const QKeySequence buttonKeys(Qt::MetaModifier | Qt::ShiftModifier | Qt::Key_C);
    EXPECT_EQ(button.shortcut(), buttonKeys);

    startRecording();
    EXPECT_TRUE(button.shortcut().isEmpty());
    press(chatKeys);
    EXPECT_EQ(fired, 0);

    typeKey(*window, Key::escape, Qt::Key_Escape);
    EXPECT_EQ(button.shortcut(), buttonKeys);
    press(chatKeys);
    EXPECT_EQ(fired, 1);
}

TEST_F(RecorderWindow, HidingTheWindowLeavingItOrDestroyingTheFieldEndsRecording) {
    startRecording();
    window->hide();
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_FALSE(isPaused());
    showActive(*window);
    EXPECT_FALSE(recorder->isRecording());  // coming back does not resume it

    startRecording();
    QWidget other;
    showActive(other);  // another window takes the keyboard
    EXPECT_FALSE(recorder->isRecording());
    showActive(*window);

    startRecording();
    QWidget elsewhere;
    row->setParent(&elsewhere);
    EXPECT_FALSE(isPaused());
    row->setParent(window.get());
    row->show();

    startRecording();
    delete row;
    EXPECT_FALSE(isPaused());
    EXPECT_EQ(ApplicationEvents::monitorCount(), 0u);
}

// One picture of each state, for review, under the build folder.
TEST_F(RecorderWindow, ScreenshotsOfEachState) {
    const QString folder = QStringLiteral(QUILLARY_SCREENSHOT_DIR);
    ASSERT_TRUE(QDir().mkpath(folder));
    const auto save = [&](QWidget& widget, const char* file) {
        widget.repaint();
        EXPECT_TRUE(widget.grab().save(folder + QLatin1Char('/') + QLatin1String(file)));
    };
    save(*recorder, "recorder-idle-shortcut.png");
    startRecording();
    save(*recorder, "recorder-recording-shortcut.png");
    typeKey(*window, Key::delete_, Qt::Key_Backspace);
    save(*recorder, "recorder-recording-empty.png");
    typeKey(*window, Key::escape, Qt::Key_Escape);
    save(*recorder, "recorder-idle-empty.png");
    save(*window, "recorder-window.png");
}

TEST_F(RecorderWindow, InARealMessageBoxTheButtonChosenDecidesAndRecordingResumes) {
    AlertPresenter::setCurrent(std::make_shared<MessageBoxAlertPresenter>());
    const Shortcut terminal(Key::t, Flags::control | Flags::option);
    desktop->occupy(combo(terminal));
    // Clicks button `index` of the message box once it is up, noting its texts.
    QStringList shown;
    const auto answerWith = [&](int index) {
        auto* timer = new QTimer;
        QObject::connect(timer, &QTimer::timeout, timer, [&shown, timer, index] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                timer->deleteLater();
                shown = {box->text(), box->informativeText()};
                for (auto* button : box->buttons())
                    shown << button->text();
                box->buttons().at(index)->click();
            }
        });
        timer->start(10);
    };

    startRecording();
    answerWith(0);
    typeKey(*window, Key::t, Qt::Key_T, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(shown, (QStringList{"This keyboard shortcut cannot be used as it's already a system-wide keyboard shortcut.",
                                  "Most system-wide keyboard shortcuts can be changed in the keyboard settings of your desktop.",
                                  "OK", "Use Anyway"}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return recorder->isRecording(); }));  // the window has the keyboard back
    EXPECT_EQ(getShortcut(*name), kCommandShiftSpace);

    answerWith(1);
    typeKey(*window, Key::t, Qt::Key_T, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(getShortcut(*name), terminal);
}

}  // namespace
