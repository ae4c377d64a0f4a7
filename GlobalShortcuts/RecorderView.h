#pragma once

#include "GlobalShortcuts/Alert.h"

namespace GlobalShortcuts {

// What a RecorderController asks of the control that shows it. The control
// forwards its focus changes to the controller (gaining focus starts
// recording, losing it ends it), so blur() and focus() reach the controller
// back through endRecording() and beginRecording().
class RecorderView {
public:
    // The controller's text, placeholder or clear button changed: redraw.
    virtual void recorderStateChanged() = 0;
    // Gives up keyboard focus (nothing in the window gets it).
    virtual void blur() = 0;
    // Takes keyboard focus.
    virtual void focus() = 0;
    // Passes keyboard focus on to the next control, as Tab does; gives it up
    // when there is no other control to take it.
    virtual void focusNext() = 0;
    // Whether a screen point lies on the control or within `margin` of it.
    virtual bool isNear(double screenX, double screenY, double margin) const = 0;
    // Shows the alert over the control's window and returns the answer.
    virtual int runAlert(const Alert& alert) = 0;
    // The system's alert sound.
    virtual void beep() = 0;

protected:
    ~RecorderView() = default;
};

}  // namespace GlobalShortcuts
