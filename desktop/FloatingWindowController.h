#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QObject>
#include <QPoint>
#include <QRect>

#include "desktop/PanelWindow.h"

class QEvent;

namespace desktop {

// Owns one prompt panel: places it near the pointer when built, shows it,
// closes it on Escape and when it loses the keyboard, and releases it with
// itself. Main thread only.
class FloatingWindowController final : public QObject {
public:
    // Places `window` (whose content is already set) for the pointer at
    // `pointer` on the screen whose usable area is `visibleFrame` (none: no
    // screen), and starts watching Escape in the whole program.
    FloatingWindowController(std::unique_ptr<PanelWindow> window, QPoint pointer, std::optional<QRect> visibleFrame);
    ~FloatingWindowController() override;
    FloatingWindowController(const FloatingWindowController&) = delete;
    FloatingWindowController& operator=(const FloatingWindowController&) = delete;

    PanelWindow* window() const { return window_.get(); }
    // Hands the window over (to serve a later showing); the controller has
    // none from then on.
    std::unique_ptr<PanelWindow> takeWindow();

    // Shows the panel, gives it the keyboard and brings it to the front.
    void showWindow();
    // Hides the panel (it stays with this controller). Closing a panel that
    // is not on screen does nothing.
    void close();

    // Called each time the panel goes from shown to closed, whatever closed it.
    void setOnClosed(std::function<void()> onClosed) { onClosed_ = std::move(onClosed); }

protected:
    // Escape closes a visible panel and goes no further; while the panel is
    // not on screen, Escape reaches whatever has the keyboard.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::unique_ptr<PanelWindow> window_;
    std::function<void()> onClosed_;
    bool shown_ = false;
};

}  // namespace desktop
