#include "windows/FAQRow.h"

#include <utility>

namespace windows {

FAQRow::FAQRow(std::string question, std::string answer, std::shared_ptr<platform::AnalyticsSink> analytics)
    : question_(std::move(question)), answer_(std::move(answer)), analytics_(std::move(analytics)) {}

void FAQRow::toggleExpanded() {
    expanded_ = !expanded_;
    if (expanded_ && analytics_)
        analytics_->capture("faq_item_viewed", {{"question", question_}});
}

}  // namespace windows
