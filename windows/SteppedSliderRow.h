#pragma once

// A settings slider over whole steps, tinted blue, with its value as a
// caption right-aligned in a fixed width beside it, so the row does not
// shift as the text changes ("0.7", "2.5 seconds"). The slider takes the
// mouse wheel only while it has the keyboard focus; until then the wheel
// scrolls the page.
//
//   SteppedSliderRow row(10, 40);
//   layout->addLayout(row.layout);          // the layout takes both widgets
//   connect(row.slider, &QSlider::valueChanged, ...);

class QHBoxLayout;
class QSlider;

namespace ui {
class PlainLabel;
}

namespace windows {

struct SteppedSliderRow {
    SteppedSliderRow(int steps, int valueWidth);

    QSlider* slider;
    ui::PlainLabel* value;
    QHBoxLayout* layout;
};

}  // namespace windows
