#pragma once

#include <memory>
#include <string>

#include "platform/AnalyticsSink.h"

namespace windows {

// The state of one question row of the help window: closed at first;
// opening it records "faq_item_viewed" with the question, closing records
// nothing.
class FAQRow {
public:
    FAQRow(std::string question, std::string answer, std::shared_ptr<platform::AnalyticsSink> analytics);

    void toggleExpanded();

    bool isExpanded() const { return expanded_; }
    const std::string& question() const { return question_; }
    const std::string& answer() const { return answer_; }

private:
    std::string question_;
    std::string answer_;
    std::shared_ptr<platform::AnalyticsSink> analytics_;
    bool expanded_ = false;
};

}  // namespace windows
