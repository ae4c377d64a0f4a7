#include "windows/SteppedSliderRow.h"

#include <QHBoxLayout>
#include <QSlider>

#include "ui/Palette.h"
#include "ui/PlainLabel.h"

namespace windows {

SteppedSliderRow::SteppedSliderRow(int steps, int valueWidth)
    : slider(new QSlider(Qt::Horizontal)),
      value(new ui::PlainLabel(QString(), ui::TextStyle::Caption, ui::Palette::color(ui::Colour::White))),
      layout(new QHBoxLayout) {
    slider->setRange(0, steps);
    slider->setSingleStep(1);
    slider->setPageStep(1);
    QPalette tint = slider->palette();
    tint.setColor(QPalette::Highlight, ui::Palette::color(ui::Colour::Blue));
    slider->setPalette(tint);
    value->setFixedWidth(valueWidth);
    value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    layout->addWidget(slider, 1, Qt::AlignVCenter);
    layout->addWidget(value, 0, Qt::AlignVCenter);
}

}  // namespace windows
