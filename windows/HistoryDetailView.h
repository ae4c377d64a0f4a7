#pragma once

// One history entry in full, as a window-modal 600 x 400 sheet over the
// History tab: a header bar that stays put (application and model badges,
// "•", the date and time, a close button), and under it a scrolling page of
// sections, "Input", "Selected Text" (only when the entry has one, even an
// empty one) and "Output", each with its text selectable in a rounded box.
//
//   auto* sheet = new HistoryDetailView(entry, historyView);   // deleted when closed
//   sheet->open();
//
// The entry is a copy: a later change of the store does not reach the sheet.

#include <QDialog>
#include <QString>
#include <vector>

#include "core/HistoryEntry.h"

class QAbstractButton;
class QLabel;
class QScrollArea;

namespace windows {

class RoundedTextBox;

class HistoryDetailView final : public QDialog {
public:
    explicit HistoryDetailView(core::HistoryEntry entry, QWidget* parent = nullptr);

    static constexpr int kWidth = 600;
    static constexpr int kHeight = 400;

    struct Section {
        QString title;
        QString symbol;
        RoundedTextBox* body;
    };

    const core::HistoryEntry& entry() const { return entry_; }
    QWidget* header() const { return header_; }
    QLabel* dateLabel() const { return date_; }
    QAbstractButton* closeButton() const { return close_; }
    QScrollArea* scrollArea() const { return scroll_; }
    const std::vector<Section>& sections() const { return sections_; }

private:
    QWidget* makeHeader();
    QWidget* makePage();

    core::HistoryEntry entry_;
    QWidget* header_ = nullptr;
    QLabel* date_ = nullptr;
    QAbstractButton* close_ = nullptr;
    QScrollArea* scroll_ = nullptr;
    std::vector<Section> sections_;
};

}  // namespace windows
