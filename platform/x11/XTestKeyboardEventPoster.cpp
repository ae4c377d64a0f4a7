#include "platform/x11/XTestKeyboardEventPoster.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include "platform/Error.h"
#include "platform/KeyPositions.h"
#include "platform/x11/X11Connection.h"

namespace platform {

namespace {

struct KeyInfo {
    KeySym symbol;
    int carbonCode;  // the key's position, for layouts without the symbol
};

KeyInfo infoOf(SimulatedKey key) {
    switch (key) {
    case SimulatedKey::control: return {XK_Control_L, 0x3B};
    case SimulatedKey::shift: return {XK_Shift_L, 0x38};
    case SimulatedKey::c: return {XK_c, 8};
    case SimulatedKey::v: return {XK_v, 9};
    case SimulatedKey::insert: return {XK_Insert, 0x72};
    }
    return {NoSymbol, -1};
}

}  // namespace

XTestKeyboardEventPoster::XTestKeyboardEventPoster(std::function<void()> releaseActiveGrab, const char* displayName)
    : releaseActiveGrab_(std::move(releaseActiveGrab)) {
    display_ = X11Connection::open(displayName);
    if (!display_)
        throw Error("X11", 0, "Cannot connect to the X display to type keys");
    int event = 0, error = 0, major = 0, minor = 0;
    available_ = XTestQueryExtension(display_, &event, &error, &major, &minor);
}

XTestKeyboardEventPoster::~XTestKeyboardEventPoster() { X11Connection::close(display_); }

unsigned XTestKeyboardEventPoster::keyCode(SimulatedKey key) const {
    const KeyInfo info = infoOf(key);
    // XKeysymToKeycode looks through every group and level of the map.
    if (const KeyCode code = XKeysymToKeycode(display_, info.symbol); code != 0)
        return code;
    int minCode = 0, maxCode = 0;
    XDisplayKeycodes(display_, &minCode, &maxCode);
    const auto code = KeyPositions::x11FromCarbon(info.carbonCode);
    return code && *code >= minCode && *code <= maxCode ? static_cast<unsigned>(*code) : 0;
}

bool XTestKeyboardEventPoster::isAnyKeyDown() {
    char keys[32];
    XQueryKeymap(display_, keys);
    for (const char byte : keys)
        if (byte != 0)
            return true;
    return false;
}

void XTestKeyboardEventPoster::releaseHeldKeys() {
    if (releaseActiveGrab_)
        releaseActiveGrab_();
    if (!available_)
        return;
    // Keys still down would join the keys typed next as modifiers, and a held
    // letter would repeat into the other program.
    char keys[32];
    XQueryKeymap(display_, keys);
    for (unsigned code = 8; code < 256; ++code) {
        if (keys[code / 8] & (1 << (code % 8))) {
            XTestFakeKeyEvent(display_, code, False, CurrentTime);
            XFlush(display_);
        }
    }
    XSync(display_, False);
}

bool XTestKeyboardEventPoster::post(SimulatedKey key, bool down) {
    if (!available_)
        return false;
    const unsigned code = keyCode(key);
    if (code == 0)
        return false;
    XTestFakeKeyEvent(display_, code, down ? True : False, CurrentTime);
    XFlush(display_);
    return true;
}

}  // namespace platform
