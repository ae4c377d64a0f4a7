#pragma once

#include <cstdint>
#include <optional>
#include <vector>

struct _XDisplay;

namespace desktop {

// A second X client, to see windows as the window manager and the other
// programs of the desktop see them. Windows and atoms are X ids.
class XObserver {
public:
    XObserver();
    ~XObserver();
    XObserver(const XObserver&) = delete;
    XObserver& operator=(const XObserver&) = delete;

    bool ok() const { return display_ != nullptr; }

    unsigned long atom(const char* name);
    // The 32-bit items of a window's property of type ATOM (or WINDOW when
    // `windows` is set).
    std::vector<unsigned long> property(unsigned long window, const char* name, bool windows);
    bool hasState(unsigned long window, const char* state);
    unsigned long activeWindow();
    // Index in the window manager's bottom-to-top stacking list, or -1.
    int stackingIndex(unsigned long window);
    // Whether `upper` lies above `lower` among the root's children (their
    // frames, under a window manager that reparents), as XQueryTree reads them.
    bool stacksAbove(unsigned long upper, unsigned long lower);
    // Whether the keyboard focus (XGetInputFocus) is on `window` or inside it.
    bool hasFocus(unsigned long window);

    // The minimum and maximum sizes of WM_NORMAL_HINTS, when both are set.
    struct SizeLimits {
        int minWidth, minHeight, maxWidth, maxHeight;
    };
    std::optional<SizeLimits> sizeLimits(unsigned long window);
    // _MOTIF_WM_HINTS: flags, functions, decorations; empty when unset.
    std::vector<unsigned long> motifHints(unsigned long window);

    // From now on, notes when `window` is mapped and when it gets the
    // keyboard (the observer's own requests are through when this returns).
    void watch(unsigned long window);
    // Reads what arrived; true once the watched window was seen mapped and
    // focused since `watch`.
    bool sawMappedAndFocused();

private:
    std::vector<unsigned long> property(unsigned long window, const char* name, unsigned long type);
    unsigned long parentOf(unsigned long window);
    unsigned long frameOf(unsigned long window);

    _XDisplay* display_;
    unsigned long watched_ = 0;
    bool mapped_ = false;
    bool focused_ = false;
};

}  // namespace desktop
