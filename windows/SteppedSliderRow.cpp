#include "windows/SteppedSliderRow.h"

#include <QHBoxLayout>
#include <QSlider>
#include <QWheelEvent>

#include "ui/Palette.h"
#include "ui/PlainLabel.h"

namespace windows {
namespace {

// A settings page scrolls under the pointer: a slider that took every wheel
// turn passing over it would change its setting unseen. It takes the wheel
// only once the user has chosen it (a click or Tab gives it the focus).
class FocusedWheelSlider final : public QSlider {
public:
    FocusedWheelSlider() : QSlider(Qt::Horizontal) { setFocusPolicy(Qt::StrongFocus); }

protected:
    void wheelEvent(QWheelEvent* event) override {
        if (hasFocus())
            QSlider::wheelEvent(event);
        else
            event->ignore();  // on to the page
    }
};

}  // namespace

SteppedSliderRow::SteppedSliderRow(int steps, int valueWidth)
    : slider(new FocusedWheelSlider),
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
