#pragma once

// The provider image beside a model's name: one of our four images
// ("openai", "claude", "gemini", "ollama", chosen by ui::iconName), 12 x 12,
// white for the selected model and grey otherwise.
//
//   auto* icon = new ui::ModelIconView(model, /*isSelected=*/false, row);
//   icon->setModel(other, true);
//
// List delegates that paint rows themselves (the history list) draw it with
// the free function:
//
//   ui::paintModelIcon(painter, QRectF(x, y, 12, 12), entry.model, false);

#include <QRectF>
#include <QWidget>

#include "core/ModelInfo.h"

class QPainter;

namespace ui {

inline constexpr int kModelIconSize = 12;

// Draws the model's provider image stretched into `rect`, tinted white when
// selected, grey otherwise.
void paintModelIcon(QPainter& painter, const QRectF& rect, const core::ModelInfo& model, bool isSelected);

class ModelIconView final : public QWidget {
public:
    ModelIconView(const core::ModelInfo& model, bool isSelected, QWidget* parent = nullptr);

    // Also sets the "symbolName" property to the image's name.
    void setModel(const core::ModelInfo& model, bool isSelected);
    const core::ModelInfo& model() const { return model_; }
    bool isSelected() const { return isSelected_; }

    QSize sizeHint() const override { return {kModelIconSize, kModelIconSize}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    core::ModelInfo model_;
    bool isSelected_;
};

}  // namespace ui
