#include "SilentOwner.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

void takePrimaryAndNeverAnswer() {
    // A second connection of this process, whose events nobody ever reads:
    // what a hung program, or one serving its selection from another
    // connection and stuck there, looks like to a reader.
    static Display* display = XOpenDisplay(nullptr);
    if (!display) return;
    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(display, XA_PRIMARY, window, CurrentTime);
    XSync(display, False);
}
