#pragma once

#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>

namespace windows::testing {

// The centre of a slider's handle, from the style that draws it: a press
// there takes the handle and moves nothing.
inline QPoint sliderHandleCentre(const QSlider& slider) {
    QStyleOptionSlider option;
    option.initFrom(&slider);
    option.orientation = slider.orientation();
    option.minimum = slider.minimum();
    option.maximum = slider.maximum();
    option.sliderPosition = slider.sliderPosition();
    option.sliderValue = slider.value();
    option.subControls = QStyle::SC_SliderGroove | QStyle::SC_SliderHandle;
    return slider.style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, &slider).center();
}

}  // namespace windows::testing
