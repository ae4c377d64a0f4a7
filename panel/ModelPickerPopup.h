#pragma once

// The model picker's popup: 200 wide, one row per visible model in the
// order given, 8 apart with 8 of padding, on the panel's grey with corners
// of 12, opened below the model button (above it only when there is no room
// below) and kept inside the usable area of the button's screen: shortened,
// scrolled by a slim bar and the wheel, when neither side holds the whole
// list. A click outside closes it, and a click outside the panel too closes
// the panel (the popup's grab took the panel's); a click on the model
// button that opened it closes it and nothing else (the button does not see
// that click, so the popup toggles instead of reopening).
//
//   popup->open(model.pickerRows(), *modelButton);
//   popup->setOnPick([&](const core::ModelInfo& m) { model.selectModel(m); });
//   popup->setOnDismiss([&] { model.setModelPickerVisible(false); });

#include <QPointer>
#include <QWidget>
#include <functional>
#include <vector>

#include "panel/ModelPickerList.h"

class QScrollArea;
class QVBoxLayout;

namespace panel {

class ModelPickerRow;

class ModelPickerPopup final : public QWidget {
public:
    static constexpr int kWidth = 200;
    static constexpr int kPadding = 8;
    static constexpr int kSpacing = 8;
    static constexpr int kCornerRadius = 12;
    // Between the button's bottom edge and the popup.
    static constexpr int kGap = 6;

    explicit ModelPickerPopup(QWidget* parent = nullptr);

    void setOnPick(std::function<void(const core::ModelInfo&)> onPick) { onPick_ = std::move(onPick); }
    // Called when the popup closes by a click elsewhere (not by close()).
    void setOnDismiss(std::function<void()> onDismiss) { onDismiss_ = std::move(onDismiss); }

    // Fills the rows anew and shows the popup below `anchor`.
    void open(const std::vector<ModelPickerList::Row>& rows, QWidget& anchor);
    // Where a list of `wanted` size goes for the button at `button` (global
    // coordinates) on a screen whose usable area is `area`.
    static QRect placement(const QRect& button, const QSize& wanted, const QRect& area);
    // Hides the popup without calling the dismiss handler.
    void dismissQuietly();

    const std::vector<ModelPickerRow*>& rows() const { return rows_; }
    // The scrolled area around the rows.
    QScrollArea* scrollArea() const { return scroll_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void setRows(const std::vector<ModelPickerList::Row>& rows);

    QScrollArea* scroll_;
    QWidget* list_;
    QVBoxLayout* column_;
    std::vector<ModelPickerRow*> rows_;
    QPointer<QWidget> anchor_;
    std::function<void(const core::ModelInfo&)> onPick_;
    std::function<void()> onDismiss_;
    bool quiet_ = false;
};

}  // namespace panel
