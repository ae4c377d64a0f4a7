#pragma once

// The send button's busy indicator: the three-ball triangle in white, 25
// pixels, fast (a 0.5 s period). It reserves no space itself: the host
// keeps a 16 x 16 slot and centres the spinner on it with a SlotOverlay, so
// the balls draw beyond the slot. It moves while shown and stops when hidden.
//
//   auto* spinner = new panel::LoadingSpinner(row);
//   panel::SlotOverlay overlay(*spinner, *sendButton);

#include "loading/LoadingIndicator.h"

namespace panel {

class LoadingSpinner final : public loading::LoadingIndicator {
public:
    // The room the host reserves for it.
    static constexpr int kSlot = 16;

    explicit LoadingSpinner(QWidget* parent = nullptr)
        : LoadingIndicator(LoadingAnimation::threeBallsTriangle, Qt::white, Size::small, Speed::fast, parent) {}
};

}  // namespace panel
