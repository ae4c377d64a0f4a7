#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTabWidget>
#include <QTest>
#include <set>

#include "fakes/SettingsHarness.h"
#include "ui/Screenshot.h"
#include "windows/ModelsTabView.h"
#include "windows/SettingsView.h"

namespace windows {
namespace {

using testing::SettingsHarness;

class ModelsTabTest : public ::testing::Test {
protected:
    void SetUp() override {
        ui::Screenshot::ensureApplication();
        view_ = std::make_unique<SettingsView>(h.settings, h.defaults);
        view_->tabs()->setCurrentIndex(1);
        view_->show();
        view_->activateWindow();  // focus moves between fields only in the active window
        ASSERT_TRUE(QTest::qWaitForWindowActive(view_.get()));
        tab = dynamic_cast<ModelsTabView*>(view_->tabs()->widget(1));
        ASSERT_NE(tab, nullptr);
    }

    // The centre of the slider's handle, from the style that draws it.
    static QPoint handleCentre(QSlider& slider) {
        QStyleOptionSlider option;
        option.initFrom(&slider);
        option.orientation = slider.orientation();
        option.minimum = slider.minimum();
        option.maximum = slider.maximum();
        option.sliderPosition = slider.sliderPosition();
        option.sliderValue = slider.value();
        option.subControls = QStyle::SC_SliderGroove | QStyle::SC_SliderHandle;
        return slider.style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, &slider).center();
    }

    // Presses the handle, moves the mouse to `x` a few pixels at a time with
    // the button held, and lets go.
    static void drag(QSlider& slider, int x) {
        QPoint at = handleCentre(slider);
        QTest::mousePress(&slider, Qt::LeftButton, Qt::NoModifier, at);
        const int direction = x > at.x() ? 1 : -1;
        while (at.x() != x) {
            at.setX(at.x() + direction * std::min(4, std::abs(x - at.x())));
            QTest::mouseMove(&slider, at);
        }
        QTest::mouseRelease(&slider, Qt::LeftButton, Qt::NoModifier, at);
    }

    void selectAllAndType(QWidget* field, const char* text) {
        field->setFocus();
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(field, text);
    }

    SettingsHarness h;
    std::unique_ptr<SettingsView> view_;
    ModelsTabView* tab = nullptr;
};

TEST_F(ModelsTabTest, DefaultsShowTheTemperatureAndTokenCount) {
    EXPECT_EQ(tab->temperatureSlider()->value(), 7);
    EXPECT_EQ(tab->temperatureLabel()->text(), "0.7");
    EXPECT_EQ(tab->temperatureLabel()->width(), 40);
    EXPECT_EQ(tab->maxTokensField()->text(), "2000");
    EXPECT_EQ(tab->maxTokensField()->placeholderText(), "Max Tokens");
    EXPECT_EQ(tab->systemMessageEditor()->toPlainText(), "");
    EXPECT_EQ(tab->systemMessageEditor()->height(), 100);
    EXPECT_EQ(tab->systemMessageEditor()->font().pixelSize(), 12);
    ui::Screenshot::save(*view_, QUILLARY_SCREENSHOT_DIR, "settings-models");
    EXPECT_TRUE(h.sink->events.empty());
}

TEST_F(ModelsTabTest, DraggingTheSliderEndToEndStoresEveryTenthOnTheWay) {
    QSlider& slider = *tab->temperatureSlider();
    drag(slider, slider.width() - 1);
    EXPECT_EQ(h.settings.temperature(), 1.0);
    EXPECT_EQ(tab->temperatureLabel()->text(), "1.0");
    const auto up = h.changes("model_temperature");
    EXPECT_EQ(up, (std::vector<std::string>{"0.8", "0.9", "1.0"}));

    drag(slider, 0);
    EXPECT_EQ(h.settings.temperature(), 0.0);
    EXPECT_EQ(tab->temperatureLabel()->text(), "0.0");
    const auto all = h.changes("model_temperature");
    ASSERT_EQ(all.size(), 13u);  // 0.9 ... 0.0 on the way back
    const std::set<std::string> tenths{"0.0", "0.1", "0.2", "0.3", "0.4", "0.5", "0.6", "0.7", "0.8", "0.9", "1.0"};
    for (const auto& value : all) EXPECT_TRUE(tenths.count(value)) << value;
    EXPECT_EQ(h.defaults->double_("model_temperature"), 0.0);
}

TEST_F(ModelsTabTest, MaxTokensTakesOnlyWholeNumbersWhenEditingEnds) {
    QLineEdit* field = tab->maxTokensField();
    selectAllAndType(field, "abc");
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(h.settings.maxTokens(), 2000);
    EXPECT_EQ(field->text(), "2000");  // shown again

    selectAllAndType(field, "99999999999999999999");
    QTest::keyClick(field, Qt::Key_Enter);
    EXPECT_EQ(h.settings.maxTokens(), 2000);
    EXPECT_EQ(field->text(), "2000");
    EXPECT_TRUE(h.changes("model_max_tokens").empty());

    selectAllAndType(field, "-5");
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(h.settings.maxTokens(), -5);

    // Digits on the way are not stored; leaving the field hands the number over.
    selectAllAndType(field, "4096");
    EXPECT_EQ(h.settings.maxTokens(), -5);
    tab->systemMessageEditor()->setFocus();
    EXPECT_EQ(h.defaults->integer("model_max_tokens"), 4096);
    EXPECT_EQ(h.changes("model_max_tokens"), (std::vector<std::string>{"-5", "4096"}));

    // A number still being typed when the window closes is kept.
    selectAllAndType(field, "8192");
    view_->close();
    EXPECT_EQ(h.settings.maxTokens(), 8192);
}

TEST_F(ModelsTabTest, TypingAndClearingTheSystemMessage) {
    QPlainTextEdit* editor = tab->systemMessageEditor();
    editor->setFocus();
    QTest::keyClicks(editor, "Be brief");
    EXPECT_EQ(h.settings.customSystemMessage(), "Be brief");
    EXPECT_EQ(h.changes("custom_system_message").size(), 8u);
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(editor, Qt::Key_Backspace);
    EXPECT_EQ(h.defaults->string("custom_system_message"), "");
    EXPECT_EQ(h.changes("custom_system_message").back(), "message_updated");
    EXPECT_FALSE(h.anyEventContains("brief"));
}

TEST_F(ModelsTabTest, ValuesChangedElsewhereShowWithoutEchoing) {
    h.settings.setTemperature(0.2);
    h.settings.setMaxTokens(512);
    h.settings.setCustomSystemMessage("From elsewhere");
    EXPECT_EQ(tab->temperatureSlider()->value(), 2);
    EXPECT_EQ(tab->temperatureLabel()->text(), "0.2");
    EXPECT_EQ(tab->maxTokensField()->text(), "512");
    EXPECT_EQ(tab->systemMessageEditor()->toPlainText(), "From elsewhere");
    EXPECT_EQ(h.sink->events.size(), 3u);  // the three writes above, none from the controls

    // Typing in the middle keeps the cursor where the user put it.
    QPlainTextEdit* editor = tab->systemMessageEditor();
    editor->setFocus();
    QTextCursor cursor = editor->textCursor();
    cursor.setPosition(4);
    editor->setTextCursor(cursor);
    QTest::keyClick(editor, Qt::Key_X);
    EXPECT_EQ(h.settings.customSystemMessage(), "Fromx elsewhere");
    EXPECT_EQ(editor->textCursor().position(), 5);
}

TEST_F(ModelsTabTest, DescriptionsWrapInFullAndThePageScrollsToItsEnd) {
    QScrollBar* bar = tab->verticalScrollBar();
    EXPECT_GT(bar->maximum(), 0);
    for (QLabel* label : tab->widget()->findChildren<QLabel*>()) {
        if (!label->wordWrap() || !label->isVisible()) continue;
        EXPECT_GE(label->height(), label->heightForWidth(label->width())) << label->text().toStdString();
    }
    bar->setValue(bar->maximum());
    ui::Screenshot::save(*view_, QUILLARY_SCREENSHOT_DIR, "settings-models-end");
    const QPoint editorBottom = tab->systemMessageEditor()->mapTo(tab->viewport(), QPoint(0, 100));
    EXPECT_LE(editorBottom.y(), tab->viewport()->height());
}

}  // namespace
}  // namespace windows
