#include "ui/ModelIconView.h"

#include <QPainter>

#include "ui/ModelIconName.h"
#include "ui/Palette.h"
#include "ui/SymbolIcon.h"

namespace ui {

void paintModelIcon(QPainter& painter, const QRectF& rect, const core::ModelInfo& model, bool isSelected) {
    SymbolIcon::paint(painter, rect, iconName(model),
                          Palette::color(isSelected ? Colour::White : Colour::Grey));
}

ModelIconView::ModelIconView(const core::ModelInfo& model, bool isSelected, QWidget* parent)
    : QWidget(parent), model_(model), isSelected_(isSelected) {
    setFixedSize(kModelIconSize, kModelIconSize);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    SymbolIcon::tag(*this, iconName(model_));
}

void ModelIconView::setModel(const core::ModelInfo& model, bool isSelected) {
    model_ = model;
    isSelected_ = isSelected;
    SymbolIcon::tag(*this, iconName(model_));
    update();
}

void ModelIconView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintModelIcon(painter, QRectF(rect()), model_, isSelected_);
}

}  // namespace ui
