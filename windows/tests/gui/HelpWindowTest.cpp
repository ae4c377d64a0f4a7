#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTest>

#include "ui/PlainLabel.h"
#include "ui/Screenshot.h"
#include "ui/SymbolIcon.h"
#include "ui/SymbolView.h"
#include "unit/RecordingAnalytics.h"
#include "windows/FAQItemView.h"
#include "windows/HelpManager.h"
#include "windows/HelpView.h"

namespace windows {
namespace {

using Strings = std::vector<std::string>;

class HelpWindowGui : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ui::Screenshot::ensureApplication(); }

    void TearDown() override {
        manager.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    FAQItemView& row(int index) { return *manager->view()->rows().at(static_cast<std::size_t>(index)); }
    void click(int index) { QTest::mouseClick(row(index).button(), Qt::LeftButton); }

    std::shared_ptr<testing::RecordingAnalytics> analytics = std::make_shared<testing::RecordingAnalytics>();
    std::unique_ptr<HelpManager> manager = std::make_unique<HelpManager>(analytics);
};

TEST_F(HelpWindowGui, ShownTwiceIsOneWindowAndOneEvent) {
    EXPECT_EQ(manager->window(), nullptr);
    manager->showHelp();
    QWidget* first = manager->window();
    ASSERT_NE(first, nullptr);
    manager->showHelp();
    EXPECT_EQ(manager->window(), first);
    EXPECT_EQ(analytics->names(), Strings{"help_window_opened"});
    EXPECT_TRUE(analytics->events[0].properties.empty());

    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(first->size(), QSize(HelpManager::width, HelpManager::height));
    EXPECT_EQ(first->windowTitle(), "Quillary Help");
    EXPECT_TRUE(first->windowFlags() & Qt::WindowStaysOnTopHint);
    const QPoint offCentre =
        first->geometry().center() - QGuiApplication::primaryScreen()->availableGeometry().center();
    EXPECT_LE(offCentre.manhattanLength(), 8);  // the frame's few pixels, not a window left at the corner
}

TEST_F(HelpWindowGui, ClosedFromTheTitleBarComesBackAsItWas) {
    manager->showHelp();
    QWidget* window = manager->window();
    click(4);
    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_EQ(manager->window(), window);
    EXPECT_FALSE(window->isVisible());

    manager->showHelp();
    EXPECT_EQ(manager->window(), window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(row(4).isExpanded());
    EXPECT_EQ(analytics->names(), (Strings{"help_window_opened", "faq_item_viewed"}));
}

TEST_F(HelpWindowGui, CloseHelpRecordsItAndTheNextShowMakesAFreshWindow) {
    manager->showHelp();
    click(0);
    manager->closeHelp();
    EXPECT_EQ(manager->window(), nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    manager->closeHelp();  // with no window: only the event

    manager->showHelp();
    EXPECT_FALSE(row(0).isExpanded());
    EXPECT_EQ(analytics->names(), (Strings{"help_window_opened", "faq_item_viewed", "help_window_dismissed",
                                           "help_window_dismissed", "help_window_opened"}));
}

TEST_F(HelpWindowGui, TheViewsCloseActionClosesThroughTheManagerWhileItLives) {
    manager->showHelp();
    const auto onClose = manager->view()->onClose();
    onClose();
    EXPECT_EQ(manager->window(), nullptr);
    EXPECT_EQ(analytics->names(), (Strings{"help_window_opened", "help_window_dismissed"}));

    manager.reset();
    onClose();  // the manager is gone: nothing happens
    EXPECT_EQ(analytics->events.size(), 2u);
}

TEST_F(HelpWindowGui, RowsOpenAndCloseIndependently) {
    manager->showHelp();
    ASSERT_EQ(manager->view()->rows().size(), 7u);
    for (auto* item : manager->view()->rows()) {
        EXPECT_FALSE(item->isExpanded());
        EXPECT_FALSE(item->answerLabel()->isVisibleTo(item));
        EXPECT_EQ(ui::SymbolIcon::nameOf(*item->chevron()), "chevron.down");
    }
    click(1);
    click(2);
    click(1);
    click(6);

    EXPECT_FALSE(row(1).isExpanded());
    EXPECT_FALSE(row(1).answerLabel()->isVisible());
    for (int open : {2, 6}) {
        EXPECT_TRUE(row(open).isExpanded());
        EXPECT_TRUE(row(open).answerLabel()->isVisible());
        EXPECT_EQ(ui::SymbolIcon::nameOf(*row(open).chevron()), "chevron.up");
    }
    EXPECT_EQ(analytics->names(), (Strings{"help_window_opened", "faq_item_viewed", "faq_item_viewed",
                                           "faq_item_viewed"}));
    auto question = [&](std::size_t event) { return std::get<std::string>(analytics->events[event].properties.at("question")); };
    EXPECT_EQ(question(1), "I have feedback");
    EXPECT_EQ(question(2), "I didn't give Voice permissions - how do I do it now?");
    EXPECT_EQ(question(3), "How do I set up API keys?");
}

TEST_F(HelpWindowGui, TheMicrophoneAnswerShowsFourLinesInFull) {
    manager->showHelp();
    click(2);
    ui::PlainLabel& answer = *row(2).answerLabel();
    EXPECT_EQ(answer.text().split('\n').size(), 4);
    EXPECT_EQ(answer.textFormat(), Qt::PlainText);
    QCoreApplication::processEvents();
    // Wrapped, never cut off: the label is as tall as its text needs.
    EXPECT_GE(answer.height(), answer.heightForWidth(answer.width()));
    EXPECT_GE(answer.height(), 4 * answer.fontMetrics().lineSpacing());
}

TEST_F(HelpWindowGui, Looks) {
    manager->showHelp();
    QWidget& window = *manager->window();
    QStringList symbols;
    for (auto* widget : window.findChildren<QWidget*>())
        if (!ui::SymbolIcon::nameOf(*widget).isEmpty()) symbols << ui::SymbolIcon::nameOf(*widget);
    EXPECT_EQ(symbols.count("questionmark.circle"), 1);
    EXPECT_EQ(symbols.count("chevron.down"), 7);
    bool titled = false;
    for (auto* label : window.findChildren<QLabel*>()) titled = titled || label->text() == "Quillary Help & FAQs";
    EXPECT_TRUE(titled);

    EXPECT_FALSE(ui::Screenshot::save(window, QUILLARY_SCREENSHOT_DIR, "help-window-closed").isNull());
    click(0);
    click(2);
    EXPECT_FALSE(ui::Screenshot::save(window, QUILLARY_SCREENSHOT_DIR, "help-window-two-open").isNull());
}

}  // namespace
}  // namespace windows
