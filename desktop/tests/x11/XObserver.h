#pragma once

#include <cstdint>
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

    // From now on, notes when `window` is mapped and when it gets the
    // keyboard (the observer's own requests are through when this returns).
    void watch(unsigned long window);
    // Reads what arrived; true once the watched window was seen mapped and
    // focused since `watch`.
    bool sawMappedAndFocused();

private:
    _XDisplay* display_;
    unsigned long watched_ = 0;
    bool mapped_ = false;
    bool focused_ = false;
};

}  // namespace desktop
