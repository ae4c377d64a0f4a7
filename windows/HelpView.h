#pragma once

#include <QScrollArea>
#include <functional>
#include <memory>
#include <vector>

#include "platform/AnalyticsSink.h"
#include "windows/FAQItem.h"

namespace windows {

class FAQItemView;

// The help window's content: a scrolling page with the header (a question
// mark and "Quillary Help & FAQs") and one expandable row per question.
class HelpView final : public QScrollArea {
public:
    HelpView(std::function<void()> onClose, std::shared_ptr<platform::AnalyticsSink> analytics,
             QWidget* parent = nullptr);

    const std::vector<FAQItem>& faqs() const { return faqs_; }
    const std::vector<FAQItemView*>& rows() const { return rows_; }
    // Kept for whoever hosts the view; the page itself has no close button.
    const std::function<void()>& onClose() const { return onClose_; }

private:
    std::function<void()> onClose_;
    std::vector<FAQItem> faqs_;
    std::vector<FAQItemView*> rows_;
};

}  // namespace windows
