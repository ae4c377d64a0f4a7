#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "unit/RecordingAnalytics.h"
#include "windows/FAQItem.h"
#include "windows/FAQRow.h"

namespace windows {
namespace {

using Strings = std::vector<std::string>;

TEST(HelpQuestions, SevenQuestionsInOrderWithLinuxAnswers) {
    const auto items = FAQItem::all();
    Strings questions;
    for (const auto& item : items) questions.push_back(item.question);
    EXPECT_EQ(questions, (Strings{"Nothing is happening when I press the shortcut", "I have feedback",
                                  "I didn't give Voice permissions - how do I do it now?",
                                  "How do I change the keyboard shortcuts?", "Can I use Quillary offline?",
                                  "How do I view my conversation history?", "How do I set up API keys?"}));
    EXPECT_EQ(items[0].answer,
              "Ensure no other application running is using the same shortcut. The default shortcut is Super + Shift + "
              "Space, and for instant voice mode it's Super + Shift + V.");
    EXPECT_EQ(items[1].answer, "Tell us what works and what doesn't where you got Quillary: we'd love to hear from you!");
    EXPECT_EQ(items[3].answer,
              "Open Quillary's settings (click the tray icon > Preferences...) and go to the Shortcuts tab.");
    EXPECT_EQ(items[6].answer,
              "Open Quillary's settings and go to the API Keys tab. You can enter your OpenAI, Anthropic, or Google API "
              "keys there.");
}

TEST(HelpQuestions, MicrophoneAnswerIsFourLinesWithNoBreakAfterTheLast) {
    const std::string answer = FAQItem::all()[2].answer;
    EXPECT_EQ(answer,
              "1. Open your desktop's Sound settings\n"
              "2. Check that your microphone is the input device and is not muted\n"
              "3. Close other applications that may be using the microphone\n"
              "4. Speech is recognised on your computer: no speech permission or internet connection is needed");
    EXPECT_NE(answer.back(), '\n');
}

TEST(HelpQuestions, EveryItemGetsAFreshId) {
    std::set<std::string> ids;
    for (int round = 0; round < 2; ++round)
        for (const auto& item : FAQItem::all()) ids.insert(item.id);
    EXPECT_EQ(ids.size(), 14u);
    EXPECT_EQ(ids.count(""), 0u);
}

TEST(FAQRow, OpeningRecordsTheQuestionAndClosingRecordsNothing) {
    auto analytics = std::make_shared<testing::RecordingAnalytics>();
    FAQRow row("How do I set up API keys?", "answer", analytics);
    EXPECT_FALSE(row.isExpanded());
    row.toggleExpanded();
    EXPECT_TRUE(row.isExpanded());
    row.toggleExpanded();
    EXPECT_FALSE(row.isExpanded());
    row.toggleExpanded();
    ASSERT_EQ(analytics->names(), (Strings{"faq_item_viewed", "faq_item_viewed"}));
    const platform::AnalyticsProperties expected{{"question", std::string("How do I set up API keys?")}};
    EXPECT_EQ(analytics->events[0].properties, expected);
    EXPECT_EQ(analytics->events[1].properties, expected);
}

TEST(FAQRow, WorksWithoutAnAnalyticsClient) {
    FAQRow row("q", "a", nullptr);
    row.toggleExpanded();
    EXPECT_TRUE(row.isExpanded());
}

}  // namespace
}  // namespace windows
