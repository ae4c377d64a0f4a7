#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include <QPoint>
#include <QRect>

#include "platform/HotKeyBackend.h"

namespace desktop {

// What the panel's controller needs of the window it owns: the real one is a
// FloatingPanel; tests give a recording fake. Qt coordinates (y down).
class PanelWindow {
public:
    virtual ~PanelWindow() = default;

    // The window's height once its content is set and laid out.
    virtual int panelHeight() const = 0;
    // Puts the window's top-left corner at `topLeft` (global coordinates).
    virtual void moveTo(QPoint topLeft) = 0;
    // From now on, when the window's height changes, moves it up as far as
    // it takes to keep it inside `visibleFrame` (never above its top). A
    // window whose size never changes may ignore it.
    virtual void keepInside(QRect /*visibleFrame*/) {}

    // The other program's fullscreen window that the panel opens over (0:
    // none). Over such a window the panel is its transient: window managers
    // keep the fullscreen for a window transient for it and give that window
    // the keyboard when it maps, whereas an activation asked for by the
    // program takes the fullscreen window out of fullscreen (i3 does). Set
    // before showPanel().
    virtual void setFullscreenOwner(std::uint64_t /*window*/) {}

    // Maps the window above the others, gives it the keyboard and raises it.
    virtual void showPanel() = 0;
    // Hides the window; it stays with its owner, ready to be released.
    virtual void closePanel() = 0;
    virtual bool isPanelVisible() const = 0;

    // Called each time the window loses the keyboard after it had it (never
    // for focus moving to one of its own popups).
    virtual void setOnDeactivate(std::function<void()> onDeactivate) = 0;

    // Called once per showing, on a later turn of the loop, when the
    // window's text field first has the keyboard: keys typed before can go
    // to it from then on.
    virtual void setOnReadyForKeys(std::function<void()> /*onReady*/) {}
    // Keys typed before the window was ready (kept while the keyboard was
    // held for it), as if typed into it now.
    virtual void typeHeldKeys(std::span<const platform::HeldKeyEvent> /*keys*/) {}
};

}  // namespace desktop
