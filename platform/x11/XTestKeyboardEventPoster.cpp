#include "platform/x11/XTestKeyboardEventPoster.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <utility>
#include <vector>

#include "platform/Error.h"
#include "platform/HotKeyBackend.h"
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

XTestKeyboardEventPoster::XTestKeyboardEventPoster(std::function<std::shared_ptr<HotKeyBackend>()> hotKeys,
                                                   const char* displayName)
    : hotKeys_(std::move(hotKeys)) {
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

std::shared_ptr<HotKeyBackend> XTestKeyboardEventPoster::hotKeys() const { return hotKeys_ ? hotKeys_() : nullptr; }

bool XTestKeyboardEventPoster::isAnyModifierDown() {
    char keys[32];
    XQueryKeymap(display_, keys);
    XModifierKeymap* map = XGetModifierMapping(display_);
    if (!map)
        return isAnyKeyDown();
    bool down = false;
    for (int i = 0; i < 8 * map->max_keypermod && !down; ++i) {
        const KeyCode code = map->modifiermap[i];
        down = code != 0 && (keys[code / 8] & (1 << (code % 8))) != 0;
    }
    XFreeModifiermap(map);
    return down;
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
    if (const auto backend = hotKeys())
        backend->releaseActiveGrab();
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

bool XTestKeyboardEventPoster::postChord(SimulatedKey modifier, SimulatedKey key) {
    const auto backend = hotKeys();
    if (!available_ || !backend || !backend->holdsKeyboard()) {
        // A hot key still down keeps the keyboard in its grab, which would
        // take these keys back to us.
        if (backend)
            backend->releaseActiveGrab();
        return KeyboardEventPoster::postChord(modifier, key);
    }
    const unsigned modifierCode = keyCode(modifier);
    const unsigned keyCodeOf = keyCode(key);
    std::vector<SimulatedKeyEvent> events;
    for (const auto& [code, down] : {std::pair{modifierCode, true}, {keyCodeOf, true}, {keyCodeOf, false},
                                     std::pair{modifierCode, false}})
        if (code != 0)
            events.push_back({code, down});
    if (!backend->typeThroughHold(events))
        return KeyboardEventPoster::postChord(modifier, key);
    return modifierCode != 0 && keyCodeOf != 0;
}

}  // namespace platform
