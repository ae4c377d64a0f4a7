#pragma once

// The model button of the panel's input row: the selected model's icon
// (never in its selected tint) and its name in grey, 12 px, 6 apart, with no
// bezel. It shows nothing of either when there is no model.
//
//   auto* button = new panel::ModelPickerButton(row);
//   button->setModel(model.selectedModel());
//   QObject::connect(button, &QAbstractButton::clicked, [&] { model.toggleModelPicker(); });

#include <QAbstractButton>
#include <optional>

#include "core/ModelInfo.h"

namespace ui {
class ModelIconView;
class PlainLabel;
}

namespace panel {

class ModelPickerButton final : public QAbstractButton {
public:
    static constexpr int kSpacing = 6;
    static constexpr int kFontPixels = 12;

    explicit ModelPickerButton(QWidget* parent = nullptr);

    void setModel(const std::optional<core::ModelInfo>& model);

    ui::ModelIconView* icon() const { return icon_; }
    ui::PlainLabel* title() const { return title_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ui::ModelIconView* icon_;
    ui::PlainLabel* title_;
};

}  // namespace panel
