#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QScrollBar>
#include <QSlider>
#include <QTabWidget>
#include <QTest>
#include <set>

#include "fakes/SettingsHarness.h"
#include "fakes/SliderHandle.h"
#include "ui/Screenshot.h"
#include "ui/Palette.h"
#include "ui/PlainLabel.h"
#include "ui/SymbolIcon.h"
#include "ui/SymbolView.h"
#include "ui/ToggleSwitch.h"
#include "windows/ModelCatalogEditor.h"
#include "windows/ModelGroupSection.h"
#include "windows/ModelRow.h"
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

    // Presses the handle, moves the mouse to `x` a few pixels at a time with
    // the button held, and lets go.
    static void drag(QSlider& slider, int x) {
        QPoint at = testing::sliderHandleCentre(slider);
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

    ModelGroupSection& section(std::size_t index) { return *tab->catalogue()->section(index); }

    // Like a user, clicks only once pending layout has placed the widget.
    static void click(QWidget* widget) {
        QCoreApplication::processEvents();
        ASSERT_TRUE(widget->isVisible());
        QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, widget->rect().center());
    }

    static void type(QLineEdit* field, const char* text) {
        click(field);
        QTest::keyClicks(field, text);
    }

    static QStringList rowNames(const ModelGroupSection& s) {
        QStringList names;
        for (std::size_t i = 0; i < s.rowCount(); ++i)
            if (s.row(i)->isVisible()) names << s.row(i)->displayNameLabel()->text();
        return names;
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
    const QImage shot = ui::Screenshot::save(*view_, QUILLARY_SCREENSHOT_DIR, "settings-models");
    // Behind the panels lies the window's own background, as the tab bar's.
    EXPECT_EQ(shot.pixelColor(tab->mapTo(view_.get(), QPoint(4, 4))), ui::Palette::color(ui::Colour::Surface12));
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

TEST_F(ModelsTabTest, OneSectionPerGroupWithItsIconAndASwitchPerModel) {
    ModelCatalogEditor& catalogue = *tab->catalogue();
    ASSERT_EQ(catalogue.sectionCount(), 4u);
    const QStringList names{"OpenAI", "Anthropic", "Gemini", "Ollama"};
    const QStringList icons{"openai", "claude", "gemini", "ollama"};
    const std::size_t counts[] = {6, 3, 5, 3};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(section(i).nameLabel()->text(), names[int(i)]);
        EXPECT_EQ(section(i).providerIcon()->symbol(), icons[int(i)]);
        EXPECT_EQ(section(i).providerIcon()->size(), QSize(16, 16));
        EXPECT_EQ(ui::SymbolIcon::nameOf(*section(i).plusButton()), "plus");
        EXPECT_FALSE(section(i).addForm()->isVisible());
        ASSERT_EQ(section(i).rowCount(), counts[i]);
        for (std::size_t r = 0; r < counts[i]; ++r) {
            EXPECT_TRUE(section(i).row(r)->visibilitySwitch()->isChecked());
            EXPECT_FALSE(section(i).row(r)->deleteButton()->isVisible());  // all default models
        }
    }
    EXPECT_EQ(section(1).row(0)->apiNameLabel()->text(), "claude-3-5-sonnet-latest");
    tab->ensureWidgetVisible(&section(0), 0, 0);
    ui::Screenshot::save(*view_, QUILLARY_SCREENSHOT_DIR, "settings-models-catalogue");
}

TEST_F(ModelsTabTest, TheAddFormKeepsItsTextsAcrossThePlusButtonAndCancelClearsThem) {
    ModelGroupSection& openai = section(0);
    click(openai.plusButton());
    ASSERT_TRUE(openai.addForm()->isVisible());
    EXPECT_FALSE(openai.addButton()->isEnabled());
    EXPECT_EQ(openai.displayNameField()->placeholderText(), "Display Name");
    EXPECT_EQ(openai.apiNameField()->placeholderText(), "API Model Name");
    EXPECT_EQ(openai.displayNameField()->parentWidget()->width(), 300);
    type(openai.displayNameField(), "Mine");
    type(openai.apiNameField(), "mine-1");
    EXPECT_TRUE(openai.addButton()->isEnabled());
    QTest::keyClick(openai.apiNameField(), Qt::Key_Return);  // adds nothing
    EXPECT_EQ(openai.rowCount(), 6u);
    tab->ensureWidgetVisible(openai.addForm(), 0, 0);
    ui::Screenshot::save(*view_, QUILLARY_SCREENSHOT_DIR, "settings-models-add-form");

    click(openai.plusButton());
    EXPECT_FALSE(openai.addForm()->isVisible());
    click(openai.plusButton());
    EXPECT_EQ(openai.displayNameField()->text(), "Mine");
    EXPECT_EQ(openai.apiNameField()->text(), "mine-1");

    click(openai.cancelButton());
    EXPECT_FALSE(openai.addForm()->isVisible());
    click(openai.plusButton());
    EXPECT_EQ(openai.displayNameField()->text(), "");
    EXPECT_EQ(openai.apiNameField()->text(), "");
    EXPECT_FALSE(openai.addButton()->isEnabled());
    EXPECT_TRUE(h.changes("model_groups").empty());

    type(openai.displayNameField(), "  ");
    type(openai.apiNameField(), "gpt-custom");
    click(openai.addButton());
    EXPECT_FALSE(openai.addForm()->isVisible());
    ASSERT_EQ(openai.rowCount(), 7u);
    const ModelRow* added = openai.row(6);
    EXPECT_EQ(added->displayNameLabel()->text(), "  ");
    EXPECT_EQ(added->apiNameLabel()->text(), "gpt-custom");
    EXPECT_TRUE(added->visibilitySwitch()->isChecked());
    EXPECT_TRUE(added->deleteButton()->isVisible());
    EXPECT_EQ(h.changes("model_groups"), std::vector<std::string>{"configuration_updated"});
    click(openai.plusButton());
    EXPECT_EQ(openai.displayNameField()->text(), "");
}

TEST_F(ModelsTabTest, SwitchingADefaultModelOffOffersItsDeletionWhichTakesEffectAtOnce) {
    ModelGroupSection& anthropic = section(1);
    click(anthropic.row(0)->visibilitySwitch());
    EXPECT_FALSE(h.settings.modelGroups()[1].models[0].isVisible);
    ASSERT_TRUE(anthropic.row(0)->deleteButton()->isVisible());
    EXPECT_EQ(ui::SymbolIcon::nameOf(*anthropic.row(0)->deleteButton()), "trash");
    tab->ensureWidgetVisible(&anthropic, 0, 0);
    ui::Screenshot::save(*view_, QUILLARY_SCREENSHOT_DIR, "settings-models-switched-off");

    click(anthropic.row(0)->deleteButton());
    EXPECT_EQ(h.settings.modelGroups()[1].models.size(), 2u);
    EXPECT_EQ(h.changes("model_groups").size(), 2u);
    EXPECT_EQ(rowNames(anthropic), (QStringList{"Claude 3.5 Haiku", "Claude 3 Opus"}));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(anthropic.rowCount(), 2u);
}

TEST_F(ModelsTabTest, DeletingTheFirstOfThreeCustomModelsMovesTheOthersUp) {
    h.settings.setModelGroups({{"Custom", {{"A", "a", true}, {"B", "b", true}, {"C", "c", false}}}});
    ASSERT_EQ(tab->catalogue()->sectionCount(), 1u);
    ModelGroupSection& custom = section(0);
    click(custom.row(0)->deleteButton());
    EXPECT_EQ(rowNames(custom), (QStringList{"B", "C"}));
    EXPECT_TRUE(custom.row(0)->visibilitySwitch()->isChecked());
    EXPECT_FALSE(custom.row(1)->visibilitySwitch()->isChecked());
    click(custom.row(1)->deleteButton());
    click(custom.row(0)->deleteButton());
    EXPECT_TRUE(h.settings.modelGroups()[0].models.empty());
    EXPECT_TRUE(custom.plusButton()->isVisible());  // an empty group keeps its header
}

TEST_F(ModelsTabTest, CatalogueChangesElsewhereKeepTheSectionsBoundByPosition) {
    click(section(1).plusButton());
    type(section(1).displayNameField(), "kept");
    h.settings.setModelGroups({{"OpenAI", {}}, {"Anthropic", {}}, {"Anthropic", {}}});
    ASSERT_EQ(tab->catalogue()->sectionCount(), 3u);
    EXPECT_EQ(section(1).displayNameField()->text(), "kept");  // same group name: the same section
    click(section(2).plusButton());
    type(section(2).displayNameField(), "Twin");
    type(section(2).apiNameField(), "twin");
    click(section(2).addButton());
    EXPECT_TRUE(h.settings.modelGroups()[1].models.empty());
    EXPECT_EQ(h.settings.modelGroups()[2].models.size(), 1u);

    h.settings.setModelGroups({{"OpenAI", {}}, {"Gemini", {}}});
    EXPECT_EQ(tab->catalogue()->sectionCount(), 2u);
    EXPECT_FALSE(section(1).addForm()->isVisible());  // another group: a new, closed form
    EXPECT_EQ(section(1).displayNameField()->text(), "");
    EXPECT_EQ(section(1).providerIcon()->symbol(), "gemini");
}

TEST_F(ModelsTabTest, FiveHundredModelsAndLongNamesStayUsable) {
    std::vector<core::ModelInfo> many;
    for (int i = 0; i < 500; ++i) many.push_back({"Model " + std::to_string(i), "m" + std::to_string(i), true});
    many.push_back({std::string(5000, 'W'), std::string(5000, 'w'), true});
    h.settings.setModelGroups({{"Ollama", many}});
    ModelGroupSection& ollama = section(0);
    ASSERT_EQ(ollama.rowCount(), 501u);
    click(ollama.row(499)->visibilitySwitch());
    EXPECT_FALSE(h.settings.modelGroups()[0].models[499].isVisible);
    EXPECT_EQ(tab->widget()->width(), tab->viewport()->width());  // a long name does not widen the page
    click(ollama.row(500)->deleteButton());
    EXPECT_EQ(h.settings.modelGroups()[0].models.size(), 500u);
}

}  // namespace
}  // namespace windows
