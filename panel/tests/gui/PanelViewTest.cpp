// The panel view as a user meets it: real key presses and clicks through the
// window, on the offscreen platform with animations off, over a panel model
// made of fakes. Every state leaves a picture in the screenshot folder.

#include <gtest/gtest.h>

#include <filesystem>
#include <utility>

#include <QApplication>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>
#include <QWindow>
#include <QPainter>

#include "fakes/PanelHarness.h"
#include "panel/ChatView.h"
#include "panel/FloatingWindowView.h"
#include "panel/LoadingSpinner.h"
#include "ui/ModelIconView.h"
#include "panel/ModelPickerButton.h"
#include "panel/ModelPickerPopup.h"
#include "panel/ModelPickerRow.h"
#include "panel/PanelAppearanceEffect.h"
#include "panel/PromptField.h"
#include "panel/RotatingBorder.h"
#include "ui/SymbolButton.h"
#include "panel/VoiceWaveform.h"
#include "platform/fake/FakePasteboard.h"
#include "ui/Animations.h"
#include "ui/Palette.h"
#include "ui/PlainLabel.h"
#include "ui/Screenshot.h"
#include "ui/SpringEasing.h"
#include "ui/SymbolIcon.h"

namespace panel {
namespace {

using namespace std::chrono_literals;

class PanelView : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ui::Screenshot::ensureApplication(); }
    void SetUp() override { ui::Animations::setEnabled(false); }

    // A shown panel that has animated in.
    std::unique_ptr<FloatingWindowView> open(bool startWithVoiceInput = false, bool startWithChat = false) {
        auto view = std::make_unique<FloatingWindowView>(h.make(startWithVoiceInput, startWithChat), pasteboard);
        view->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        h.loop->advance(200ms);
        settle(*view);
        return view;
    }

    static void settle(QWidget& view) {
        QApplication::processEvents();
        view.adjustSize();
        QApplication::processEvents();
    }

    static void shoot(QWidget& view, const char* name) {
        settle(view);
        EXPECT_FALSE(ui::Screenshot::save(view, QStringLiteral(QUILLARY_SCREENSHOT_DIR), QString::fromLatin1(name)).isNull());
    }

    // A click as the window system delivers it, at a point of the view.
    static void click(FloatingWindowView& view, QPoint at) {
        QTest::mouseClick(view.windowHandle(), Qt::LeftButton, {}, at);
        QApplication::processEvents();
    }
    static QPoint centreOf(FloatingWindowView& view, QWidget& widget) {
        return widget.mapTo(&view, widget.rect().center());
    }

    static void type(FloatingWindowView& view, const QString& text) {
        QTest::keyClicks(view.promptField(), text);
        QApplication::processEvents();
    }

    testing::PanelHarness h;
    std::shared_ptr<platform::FakePasteboard> pasteboard = std::make_shared<platform::FakePasteboard>();
};

TEST_F(PanelView, OneShotPanelIsTheInputRowOnly) {
    h.settings().setOpenaiKey("sk-test");
    auto view = open();

    EXPECT_EQ(view->width(), 500);
    EXPECT_FALSE(view->errorLine()->isVisible());
    EXPECT_FALSE(view->transcript()->isVisible());
    EXPECT_EQ(view->height(), view->inputRow()->height() + 2 * FloatingWindowView::kVerticalPadding);
    EXPECT_EQ(view->inputRow()->geometry().left(), FloatingWindowView::kHorizontalPadding);
    EXPECT_EQ(view->inputRow()->width(), 500 - 2 * FloatingWindowView::kHorizontalPadding);
    // The border lies over the whole panel: the clicks of the other cases,
    // sent to the window, reach the controls through it.
    EXPECT_TRUE(view->border()->isVisible());
    EXPECT_EQ(view->border()->geometry(), view->rect());
    // Animated in and at rest: drawn without the effect.
    EXPECT_EQ(view->appearanceEffect(), nullptr);
    EXPECT_EQ(view->graphicsEffect(), nullptr);

    // The controls, their symbols and help texts.
    EXPECT_EQ(view->modelButton()->title()->text(), QStringLiteral("GPT-4o"));
    EXPECT_EQ(view->modelButton()->title()->textFormat(), Qt::PlainText);
    EXPECT_FALSE(view->modelButton()->icon()->isSelected());
    EXPECT_EQ(ui::SymbolIcon::nameOf(*view->modelButton()->icon()), QStringLiteral("openai"));
    EXPECT_EQ(ui::SymbolIcon::nameOf(*view->chatButton()), QStringLiteral("bubble.left.and.bubble.right"));
    EXPECT_EQ(view->chatButton()->toolTip(), QStringLiteral("Enter Chat Mode"));
    EXPECT_EQ(ui::SymbolIcon::nameOf(*view->micButton()), QStringLiteral("mic"));
    EXPECT_EQ(view->micButton()->toolTip(), QStringLiteral("Start Voice Input"));
    EXPECT_EQ(view->micButton()->size(), QSize(16, 16));
    EXPECT_EQ(ui::SymbolIcon::nameOf(*view->sendButton()), QStringLiteral("arrow.up"));
    EXPECT_EQ(view->sendButton()->size(), QSize(16, 16));
    // The chat symbol is drawn smaller than the two beside the field.
    EXPECT_EQ(view->chatButton()->pixelSize(), 12);
    EXPECT_EQ(view->micButton()->pixelSize(), 14);
    EXPECT_EQ(view->sendButton()->pixelSize(), 14);
    EXPECT_TRUE(view->sendButton()->isEnabled());
    EXPECT_FALSE(view->spinner()->isVisible());
    EXPECT_EQ(view->promptField()->visibleLines(), 1);

    // The model asked for the prompt's focus when it appeared.
    EXPECT_TRUE(view->model().isFocused());
    EXPECT_EQ(QApplication::focusWidget(), view->promptField());

    const QImage image = ui::Screenshot::save(*view, QStringLiteral(QUILLARY_SCREENSHOT_DIR), "panel-one-shot");
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0) << "rounded corners";
    EXPECT_EQ(image.pixelColor(250, view->height() / 2), QColor(31, 31, 31)) << "grey 0.12 behind the row";
}

TEST_F(PanelView, TheEffectShowsThePanelHiddenUntilItAnimatesIn) {
    h.settings().setOpenaiKey("sk-test");
    FloatingWindowView view(h.make(), pasteboard);
    view.show();
    ASSERT_NE(view.appearanceEffect(), nullptr);
    EXPECT_EQ(view.appearanceEffect()->opacity(), 0.0);
    EXPECT_EQ(view.appearanceEffect()->scale(), 0.9);
    EXPECT_EQ(view.appearanceEffect()->blurRadius(), 10.0);
    h.loop->advance(100ms);
    EXPECT_EQ(view.appearanceEffect(), nullptr);
}

TEST_F(PanelView, AnErrorInChatModeStandsAboveTheTranscript) {
    // No key: the panel says so when it appears. The selection opens the chat.
    h.selection->selectedText = "Text the user selected";
    auto view = open(false, true);

    ASSERT_TRUE(view->errorLine()->isVisible());
    EXPECT_EQ(view->errorLine()->text(), QStringLiteral("Please set your OpenAI API key in Settings"));
    EXPECT_EQ(view->errorLine()->textFormat(), Qt::PlainText);
    ASSERT_TRUE(view->transcript()->isVisible());
    EXPECT_LT(view->errorLine()->geometry().bottom(), view->transcript()->geometry().top());
    EXPECT_LT(view->transcript()->geometry().bottom(), view->inputRow()->geometry().top());
    EXPECT_EQ(view->chatButton()->toolTip(), QStringLiteral("Exit Chat Mode"));
    EXPECT_EQ(ui::SymbolIcon::nameOf(*view->chatButton()), QStringLiteral("bubble.left.and.bubble.right.fill"));
    // The window around the view follows it.
    EXPECT_EQ(view->height(), view->sizeHint().height());
    shoot(*view, "panel-chat-with-error");
}

TEST_F(PanelView, KeysTypedAsSoonAsAChatPanelIsActiveReachThePrompt) {
    // Before the model's focus delay has run: the window system made the
    // panel active, and the user types at once.
    h.settings().setOpenaiKey("sk-test");
    h.selection->selectedText = "Text the user selected";
    auto view = std::make_unique<FloatingWindowView>(h.make(false, true), pasteboard);
    view->show();
    view->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
    ASSERT_TRUE(view->transcript()->isVisible());
    // As the window system delivers them: to the window, whichever widget
    // has the focus.
    for (const char key : std::string("first question")) QTest::keyClick(view->windowHandle(), key);
    QApplication::processEvents();
    EXPECT_EQ(view->promptField()->toPlainText(), QStringLiteral("first question"));
    EXPECT_EQ(view->model().text(), "first question");
}

TEST_F(PanelView, ChatModeWithoutMessagesShowsNoTranscript) {
    h.settings().setOpenaiKey("sk-test");
    auto view = open();
    const int oneShotHeight = view->height();
    click(*view, centreOf(*view, *view->chatButton()));
    ASSERT_TRUE(view->model().isChatMode());
    EXPECT_FALSE(view->transcript()->isVisible());
    settle(*view);
    EXPECT_EQ(view->height(), oneShotHeight);
}

TEST_F(PanelView, TheChatButtonShowsTheTranscriptAtOnceWithAnimationsOff) {
    h.settings().setOpenaiKey("sk-test");
    h.selection->selectedText = "Text the user selected";
    auto view = open();
    const int oneShotHeight = view->height();

    click(*view, centreOf(*view, *view->chatButton()));
    settle(*view);
    ASSERT_TRUE(view->transcript()->isVisible());
    EXPECT_EQ(view->chatModeMotion(), nullptr);
    EXPECT_EQ(view->transcript()->graphicsEffect(), nullptr);
    EXPECT_EQ(view->transcript()->maxHeight(), FloatingWindowView::kTranscriptMaxHeight);
    EXPECT_EQ(view->transcript()->height(), view->transcript()->heightForWidth(view->transcript()->width()));
    EXPECT_EQ(view->chatButton()->colour(), ui::Palette::color(ui::Colour::Blue));
    EXPECT_GT(view->height(), oneShotHeight);

    click(*view, centreOf(*view, *view->chatButton()));
    settle(*view);
    EXPECT_FALSE(view->transcript()->isVisible());
    EXPECT_EQ(view->chatButton()->colour(), ui::Palette::color(ui::Colour::Grey));
    EXPECT_EQ(view->height(), oneShotHeight);
}

TEST_F(PanelView, TheChatButtonsChangeMovesOnTheSpringAndTurnsBackFromWhereItStands) {
    h.settings().setOpenaiKey("sk-test");
    h.selection->selectedText = "Text the user selected";
    auto view = open();
    const int oneShotHeight = view->height();
    ui::Animations::setEnabled(true);
    // Drives the running spring to a moment instead of waiting for frames.
    const auto at = [&](double fraction) {
        QVariantAnimation* motion = view->chatModeMotion();
        EXPECT_NE(motion, nullptr);
        if (!motion) return;
        motion->pause();
        motion->setCurrentTime(static_cast<int>(motion->duration() * fraction));
        settle(*view);
    };
    const auto opacity = [&] {
        auto* fade = qobject_cast<QGraphicsOpacityEffect*>(view->transcript()->graphicsEffect());
        return fade ? fade->opacity() : -1.0;
    };

    click(*view, centreOf(*view, *view->chatButton()));
    QVariantAnimation* motion = view->chatModeMotion();
    ASSERT_NE(motion, nullptr);
    const ui::SpringEasing spring = static_cast<ui::SpringAnimation*>(motion)->spring();
    EXPECT_EQ(spring.response(), 0.5);
    EXPECT_EQ(spring.dampingFraction(), 1.0);
    EXPECT_EQ(view->chatButton()->toolTip(), QStringLiteral("Exit Chat Mode"));

    at(0.1);
    ASSERT_TRUE(view->transcript()->isVisible());
    const int early = view->transcript()->height();
    const QColor earlyColour = view->chatButton()->colour();
    EXPECT_GT(opacity(), 0.0);
    EXPECT_LT(opacity(), 1.0);
    EXPECT_NE(earlyColour, ui::Palette::color(ui::Colour::Grey));
    EXPECT_NE(earlyColour, ui::Palette::color(ui::Colour::Blue));
    at(0.2);
    const int later = view->transcript()->height();
    shoot(*view, "panel-chat-spring-midway");
    EXPECT_LT(early, later);
    EXPECT_GT(view->height(), oneShotHeight);

    // Out again before it arrived: it shrinks from the height it had.
    click(*view, centreOf(*view, *view->chatButton()));
    EXPECT_EQ(view->chatButton()->toolTip(), QStringLiteral("Enter Chat Mode"));
    at(0.0);
    EXPECT_EQ(view->transcript()->height(), later);
    at(0.1);
    EXPECT_LT(view->transcript()->height(), later);
    at(1.0);
    EXPECT_EQ(view->chatModeMotion(), nullptr);
    EXPECT_FALSE(view->transcript()->isVisible());
    EXPECT_EQ(view->transcript()->graphicsEffect(), nullptr);
    EXPECT_EQ(view->chatButton()->colour(), ui::Palette::color(ui::Colour::Grey));
    EXPECT_EQ(view->height(), oneShotHeight);
    ui::Animations::setEnabled(false);
}

TEST_F(PanelView, ASixLinePromptShowsFiveLinesAndScrolls) {
    h.settings().setOpenaiKey("sk-test");
    auto view = open();
    PromptField& field = *view->promptField();
    const int oneLine = field.height();
    type(*view, "one");
    for (const char* line : {"two", "three", "four", "five", "six"}) {
        QTest::keyClick(&field, Qt::Key_Return, Qt::ShiftModifier);
        type(*view, QString::fromLatin1(line));
    }
    settle(*view);

    EXPECT_EQ(view->model().text(), "one\ntwo\nthree\nfour\nfive\nsix");
    EXPECT_TRUE(h.script->calls().empty()) << "Shift+Return only breaks the line";
    EXPECT_EQ(field.lineCount(), 6);
    EXPECT_EQ(field.visibleLines(), 5);
    EXPECT_EQ(field.height(), oneLine + 4 * field.fontMetrics().lineSpacing());
    EXPECT_GT(field.verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(field.verticalScrollBar()->value(), field.verticalScrollBar()->maximum()) << "the cursor's line in view";
    EXPECT_EQ(view->height(), view->sizeHint().height());
    shoot(*view, "panel-six-line-prompt");

    // A long line wraps, and wrapped lines count too.
    field.clear();
    type(*view, QString(120, QLatin1Char('w')).append(QStringLiteral(" tail")));
    EXPECT_GE(field.lineCount(), 2);
    EXPECT_EQ(field.visibleLines(), std::min(field.lineCount(), 5));
}

TEST_F(PanelView, LoadingDisablesSendAndShowsTheSpinnerWhileReturnStillSubmits) {
    h.settings().setOpenaiKey("sk-test");
    auto view = open();
    type(*view, "hello");
    QTest::keyClick(view->promptField(), Qt::Key_Return);
    QApplication::processEvents();

    ASSERT_TRUE(view->model().isLoading());
    EXPECT_FALSE(view->sendButton()->isEnabled());
    ASSERT_TRUE(view->spinner()->isVisible());
    EXPECT_EQ(view->spinner()->size(), QSize(25, 25));
    EXPECT_EQ(view->spinner()->geometry().center(), view->sendButton()->geometry().center());
    EXPECT_EQ(view->sendButton()->size(), QSize(16, 16)) << "the spinner takes no room of its own";
    EXPECT_TRUE(view->spinner()->testAttribute(Qt::WA_TransparentForMouseEvents));
    shoot(*view, "panel-loading");

    // The disabled button takes no click; Return still sends, and typing goes on.
    click(*view, centreOf(*view, *view->sendButton()));
    h.executor->runAll();
    EXPECT_EQ(h.script->calls().size(), 1u);
    type(*view, "!");
    // Return held down: only its first press sends, however X11 repeats it,
    // and Qt need not mark the repeats. A press after a real release sends.
    const auto key = [&](QEvent::Type type, quint64 serverTime) {
        QKeyEvent event(type, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
        event.setTimestamp(serverTime);
        QSpontaneKeyEvent::setSpontaneous(&event);
        QApplication::instance()->notify(view->promptField(), &event);
    };
    key(QEvent::KeyPress, 1000);
    key(QEvent::KeyPress, 1030);  // detectable repeat: presses only
    key(QEvent::KeyRelease, 1060);
    key(QEvent::KeyPress, 1060);  // a release and a press of one time
    key(QEvent::KeyRelease, 1090);
    h.executor->runAll();
    ASSERT_EQ(h.script->calls().size(), 2u);
    key(QEvent::KeyPress, 1500);
    key(QEvent::KeyRelease, 1600);
    h.executor->runAll();
    ASSERT_EQ(h.script->calls().size(), 3u);
    EXPECT_EQ(h.script->calls()[1].prompt, "hello!");
    // The answers come back, and nothing waits in the loop once the test ends.
    h.finishRequests();
    EXPECT_FALSE(view->model().isLoading());
    EXPECT_TRUE(view->sendButton()->isEnabled());
    EXPECT_FALSE(view->spinner()->isVisible());
}

TEST_F(PanelView, ThePickerListsTheModelsTogglesAndPicks) {
    h.settings().setOpenaiKey("sk-test");
    auto view = open();
    const QPoint button = centreOf(*view, *view->modelButton());

    click(*view, button);
    ModelPickerPopup& picker = *view->picker();
    ASSERT_TRUE(picker.isVisible());
    EXPECT_TRUE(view->model().isModelPickerVisible());
    EXPECT_EQ(picker.width(), 200);
    const auto available = h.settings().availableModels();
    ASSERT_EQ(available.size(), 17u);
    ASSERT_EQ(picker.rows().size(), 17u);
    int selected = 0;
    for (std::size_t i = 0; i < available.size(); ++i) {
        const ModelPickerRow& row = *picker.rows()[i];
        EXPECT_EQ(row.title()->text().toStdString(), available[i].displayName);
        EXPECT_EQ(row.icon()->isSelected(), row.isSelected());
        if (row.isSelected()) ++selected;
    }
    EXPECT_EQ(selected, 1);
    EXPECT_TRUE(picker.rows()[0]->isSelected()) << "the start model is the first visible one";
    EXPECT_GT(picker.geometry().top(), view->modelButton()->mapToGlobal(QPoint(0, 0)).y()) << "opens below the button";
    shoot(picker, "panel-picker-open");

    // A second click on the button closes the popup instead of reopening it.
    QTest::mouseClick(picker.windowHandle(), Qt::LeftButton, {}, picker.mapFromGlobal(view->mapToGlobal(button)));
    QApplication::processEvents();
    EXPECT_FALSE(picker.isVisible());
    EXPECT_FALSE(view->model().isModelPickerVisible());

    // Picking a model: it is the panel's now, remembered, and typing goes on.
    click(*view, button);
    ASSERT_TRUE(picker.isVisible());
    ModelPickerRow& third = *picker.rows()[2];
    QTest::mouseClick(&third, Qt::LeftButton, {}, third.rect().center());
    QApplication::processEvents();
    EXPECT_FALSE(picker.isVisible());
    ASSERT_TRUE(view->model().selectedModel().has_value());
    EXPECT_EQ(view->model().selectedModel()->displayName, available[2].displayName);
    EXPECT_EQ(h.defaults->string(PanelModel::kLastSelectedModelKey), available[2].displayName);
    EXPECT_EQ(view->modelButton()->title()->text().toStdString(), available[2].displayName);
    EXPECT_TRUE(view->model().isFocused());
    EXPECT_EQ(QApplication::focusWidget(), view->promptField());
    shoot(*view, "panel-after-pick");

    // Opened again, the list is read anew with the new row highlighted.
    click(*view, button);
    ASSERT_EQ(picker.rows().size(), 17u);
    EXPECT_TRUE(picker.rows()[2]->isSelected());
    EXPECT_FALSE(picker.rows()[0]->isSelected());
    QTest::keyClick(&picker, Qt::Key_Escape);
    QApplication::processEvents();
    EXPECT_FALSE(view->model().isModelPickerVisible());

    // A click into another application, the list open: the panel closes too.
    click(*view, button);
    ASSERT_TRUE(picker.isVisible());
    const QPoint elsewhere = view->frameGeometry().bottomRight() + QPoint(300, 300);
    QTest::mouseClick(picker.windowHandle(), Qt::LeftButton, {}, picker.mapFromGlobal(elsewhere));
    QApplication::processEvents();
    EXPECT_FALSE(picker.isVisible());
    EXPECT_FALSE(view->isVisible());
}

TEST_F(PanelView, TheModelListStaysOnTheScreenAndScrollsWhenShortened) {
    // The list opens below its button, above it only without room below,
    // and shortened to the roomier side when neither holds it: the screen
    // of 800 with a 552 list at 296 (a panel at 250) keeps 504 below.
    const QRect screen(0, 0, 1280, 800);
    const QSize list(200, 552);
    EXPECT_EQ(ModelPickerPopup::placement(QRect(20, 60, 120, 24), list, screen), QRect(20, 90, 200, 552));
    EXPECT_EQ(ModelPickerPopup::placement(QRect(20, 700, 120, 24), list, screen), QRect(20, 142, 200, 552));
    EXPECT_EQ(ModelPickerPopup::placement(QRect(20, 266, 120, 24), list, screen), QRect(20, 296, 200, 504));
    EXPECT_EQ(ModelPickerPopup::placement(QRect(1250, 530, 20, 24), list, screen), QRect(1080, 0, 200, 524));

    h.settings().setOpenaiKey("sk-test");
    auto view = open();
    ModelPickerPopup& picker = *view->picker();
    QWidget& button = *view->modelButton();
    const QRect area = view->screen()->availableGeometry();
    for (const auto& [name, top] : {std::pair{"top", area.top()}, std::pair{"middle", area.center().y() - 20},
                                    std::pair{"bottom", area.bottom() - view->height()}}) {
        SCOPED_TRACE(name);
        view->move(area.left() + 100, top);
        settle(*view);
        click(*view, centreOf(*view, button));
        ASSERT_TRUE(picker.isVisible());
        EXPECT_TRUE(area.contains(picker.geometry())) << "inside the available area";
        const int whole = picker.scrollArea()->widget()->sizeHint().height();
        const int buttonBottom = button.mapToGlobal(QPoint(0, button.height())).y();
        if (picker.y() < buttonBottom) {
            EXPECT_LT(area.bottom() - buttonBottom, whole) << "above only without room below";
        }
        QScrollBar& bar = *picker.scrollArea()->verticalScrollBar();
        if (picker.height() < whole) {
            // Shortened: the wheel brings the last rows in.
            QWheelEvent wheel(QPointF(100, 100), picker.mapToGlobal(QPointF(100, 100)), {}, QPoint(0, -240),
                              Qt::NoButton, {}, Qt::NoScrollPhase, false);
            QApplication::sendEvent(picker.scrollArea()->viewport(), &wheel);
            EXPECT_GT(bar.value(), 0);
        } else {
            EXPECT_EQ(bar.maximum(), 0);
        }
        // How it stands on the screen: the panel and the list where they are.
        QImage shot(area.size(), QImage::Format_ARGB32);
        shot.fill(QColor(90, 110, 140));
        QPainter painter(&shot);
        view->render(&painter, view->pos() - area.topLeft());
        picker.render(&painter, picker.pos() - area.topLeft());
        painter.end();
        std::filesystem::create_directories(QUILLARY_SCREENSHOT_DIR);
        shot.save(QStringLiteral(QUILLARY_SCREENSHOT_DIR "/panel-picker-on-screen-") + QLatin1String(name) + ".png");
        QTest::keyClick(&picker, Qt::Key_Escape);
        QApplication::processEvents();
        ASSERT_FALSE(picker.isVisible());
    }
}

TEST_F(PanelView, AnswersAndNamesShowAsLiteralText) {
    h.settings().setOpenaiKey("sk-test");
    const std::string answer = "<b>bold</b> <img src=\"http://127.0.0.1:1/x.png\">";
    h.script->answer(answer);
    auto view = open(false, true);
    type(*view, "<i>question</i>");
    QTest::keyClick(view->promptField(), Qt::Key_Return);
    h.finishRequests();
    settle(*view);

    ASSERT_TRUE(view->transcript()->isVisible());
    bool sawAnswer = false;
    bool sawQuestion = false;
    for (const QLabel* label : view->transcript()->findChildren<QLabel*>()) {
        if (label->text() == QString::fromStdString(answer)) {
            sawAnswer = true;
            EXPECT_EQ(label->textFormat(), Qt::PlainText);
        }
        if (label->text() == QStringLiteral("<i>question</i>")) sawQuestion = true;
    }
    EXPECT_TRUE(sawAnswer);
    EXPECT_TRUE(sawQuestion);
    shoot(*view, "panel-chat-literal-answer");
}

TEST_F(PanelView, RecordingShowsTheWaveformOverTheMicrophone) {
    h.settings().setOpenaiKey("sk-test");
    auto view = open();
    click(*view, centreOf(*view, *view->micButton()));
    h.loop->runPending();
    ASSERT_TRUE(view->model().isRecording());
    ASSERT_TRUE(view->waveform()->isVisible());
    EXPECT_EQ(view->micButton()->toolTip(), QStringLiteral("Stop Recording"));
    EXPECT_EQ(view->waveform()->size(), QSize(24, 24));
    EXPECT_EQ(view->waveform()->geometry().center(), view->micButton()->geometry().center());
    h.speech->hearLevel(0.3f);
    const auto& bars = view->waveform()->shownHeights();
    EXPECT_NEAR(bars[0], 13.6, 1e-5);
    EXPECT_NEAR(bars[2], 16.8, 1e-5);
    shoot(*view, "panel-recording");

    // Clicks on the meter reach the microphone button: recording stops.
    h.speech->transcriptText = "";
    click(*view, centreOf(*view, *view->micButton()));
    EXPECT_FALSE(view->model().isRecording());
    EXPECT_FALSE(view->waveform()->isVisible());
    EXPECT_EQ(view->micButton()->toolTip(), QStringLiteral("Start Voice Input"));
}

}  // namespace
}  // namespace panel
