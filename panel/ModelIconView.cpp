#include "panel/ModelIconView.h"

#include <QPainter>

#include "panel/ModelIconName.h"
#include "ui/Palette.h"
#include "ui/SymbolIcon.h"

namespace panel {

void paintModelIcon(QPainter& painter, const QRectF& rect, const core::ModelInfo& model, bool isSelected) {
    ui::SymbolIcon::paint(painter, rect, iconName(model),
                          ui::Palette::color(isSelected ? ui::Colour::White : ui::Colour::Grey));
}

ModelIconView::ModelIconView(const core::ModelInfo& model, bool isSelected, QWidget* parent)
    : QWidget(parent), model_(model), isSelected_(isSelected) {
    setFixedSize(kModelIconSize, kModelIconSize);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    ui::SymbolIcon::tag(*this, iconName(model_));
}

void ModelIconView::setModel(const core::ModelInfo& model, bool isSelected) {
    model_ = model;
    isSelected_ = isSelected;
    ui::SymbolIcon::tag(*this, iconName(model_));
    update();
}

void ModelIconView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintModelIcon(painter, QRectF(rect()), model_, isSelected_);
}

}  // namespace panel
