#pragma once

#include <QWidget>
#include <memory>
#include <string>

#include "platform/AnalyticsSink.h"
#include "windows/FAQRow.h"

class QAbstractButton;

namespace ui {
class PlainLabel;
class SymbolView;
}  // namespace ui

namespace windows {

// One question of the help window: a flat button with the question and a
// chevron that opens and closes the answer below it, then a divider. Any
// number of rows may be open at once.
class FAQItemView final : public QWidget {
public:
    FAQItemView(const std::string& question, const std::string& answer,
                std::shared_ptr<platform::AnalyticsSink> analytics, QWidget* parent = nullptr);

    // The button's action.
    void toggleExpanded();

    bool isExpanded() const { return row_.isExpanded(); }
    QAbstractButton* button() const { return button_; }
    ui::PlainLabel* answerLabel() const { return answer_; }
    ui::SymbolView* chevron() const { return chevron_; }

private:
    FAQRow row_;
    QAbstractButton* button_;
    ui::SymbolView* chevron_;
    ui::PlainLabel* answer_;
};

}  // namespace windows
