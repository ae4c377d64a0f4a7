#pragma once

// One model in the picker popup: its icon and name (white on the selected
// row, grey elsewhere, body font), padded 4 above and below and 8 at the
// sides, the selected row on a faint white rounded background.
//
//   auto* row = new panel::ModelPickerRow(entry.model, entry.isSelected, popup);
//   QObject::connect(row, &QAbstractButton::clicked, [&, m = entry.model] { model.selectModel(m); });

#include <QAbstractButton>

#include "core/ModelInfo.h"

namespace ui {
class ModelIconView;
class PlainLabel;
}

namespace panel {

class ModelPickerRow final : public QAbstractButton {
public:
    static constexpr int kSpacing = 8;
    static constexpr int kCornerRadius = 6;

    ModelPickerRow(const core::ModelInfo& model, bool isSelected, QWidget* parent = nullptr);

    const core::ModelInfo& model() const { return model_; }
    bool isSelected() const { return isSelected_; }
    ui::PlainLabel* title() const { return title_; }
    ui::ModelIconView* icon() const { return icon_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    core::ModelInfo model_;
    bool isSelected_;
    ui::ModelIconView* icon_;
    ui::PlainLabel* title_;
};

}  // namespace panel
