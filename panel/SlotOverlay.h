#pragma once

// Keeps a drawing that is larger than its slot (the 25 x 25 spinner, the
// 24 x 24 waveform over 16 x 16 buttons) centred on the slot. The drawing is
// a sibling of the slot, raised above it and transparent for the mouse, so
// the slot keeps its size in the layout and still takes the clicks.
//
//   auto* spinner = new panel::LoadingSpinner(sendButton->parentWidget());
//   new panel::SlotOverlay(*spinner, *sendButton);    // owned by the slot

#include <QObject>
#include <QPointer>

class QWidget;

namespace panel {

class SlotOverlay final : public QObject {
public:
    // `drawing` is moved to the slot's parent; the overlay lives as long as
    // the slot.
    SlotOverlay(QWidget& drawing, QWidget& slot);

    // Shows the drawing over the slot, or hides it.
    void setShown(bool shown);
    void place();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> drawing_;
    QWidget& slot_;
};

}  // namespace panel
