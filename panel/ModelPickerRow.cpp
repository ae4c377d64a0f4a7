#include "panel/ModelPickerRow.h"

#include <QHBoxLayout>
#include <QPainter>

#include "ui/ModelIconView.h"
#include "ui/Palette.h"
#include "ui/PlainLabel.h"
#include "ui/RoundedSurface.h"

namespace panel {

ModelPickerRow::ModelPickerRow(const core::ModelInfo& model, bool isSelected, QWidget* parent)
    : QAbstractButton(parent),
      model_(model),
      isSelected_(isSelected),
      icon_(new ui::ModelIconView(model, isSelected, this)),
      title_(new ui::PlainLabel(QString::fromStdString(model.displayName), ui::TextStyle::Body,
                                ui::Palette::color(isSelected ? ui::Colour::White : ui::Colour::Grey), this)) {
    setFocusPolicy(Qt::NoFocus);
    title_->setAttribute(Qt::WA_TransparentForMouseEvents);
    // A long name is cut at the popup's edge instead of widening it.
    title_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 4, 8, 4);
    layout->setSpacing(kSpacing);
    layout->addWidget(icon_, 0, Qt::AlignVCenter);
    layout->addWidget(title_, 1, Qt::AlignVCenter);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize ModelPickerRow::sizeHint() const { return layout()->sizeHint(); }

void ModelPickerRow::paintEvent(QPaintEvent*) {
    if (!isSelected_) return;
    QPainter painter(this);
    ui::RoundedSurface::paint(painter, QRectF(rect()), kCornerRadius, ui::Palette::color(ui::Colour::White, 0.1));
}

}  // namespace panel
