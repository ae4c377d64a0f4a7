#include "platform/x11/X11HotKeyBackend.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <utility>

#include "platform/Error.h"
#include "platform/KeyPositions.h"
#include "platform/KeyboardLayout.h"
#include "platform/Logger.h"
#include "platform/NotificationCenter.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11ErrorTrap.h"
#include "platform/x11/XkbKeyboardLayout.h"

namespace platform {

namespace {

int statusFor(const std::vector<XErrorEvent>& errors) {
    for (const auto& error : errors)
        if (error.error_code == BadAccess)
            return hotkey_status::hotKeyExists;
    return errors.empty() ? hotkey_status::noErr : hotkey_status::hotKeyInvalid;
}

const Logger& logger() {
    static const Logger log("quillary", "hotkeys");
    return log;
}

}  // namespace

X11HotKeyBackend::X11HotKeyBackend(std::shared_ptr<MainLoop> loop, const char* displayName,
                                   std::shared_ptr<MonotonicClock> clock)
    : loop_(std::move(loop)), clock_(clock ? std::move(clock) : MonotonicClock::steady()) {
    display_ = X11Connection::open(displayName);
    if (!display_)
        throw Error("X11", 0, "Cannot connect to the X display for global shortcuts");
    root_ = DefaultRootWindow(display_);
    // One press gives one KeyPress however long the key is held.
    Bool supported = False;
    XkbSetDetectableAutoRepeat(display_, True, &supported);
    // A new keymap (setxkbmap, another keyboard) reaches an XKB client as
    // XKB events only when it asks for them.
    int opcode = 0, error = 0, major = XkbMajorVersion, minor = XkbMinorVersion;
    if (XkbQueryExtension(display_, &opcode, &xkbEventBase_, &error, &major, &minor))
        XkbSelectEvents(display_, XkbUseCoreKbd, XkbNewKeyboardNotifyMask | XkbMapNotifyMask,
                        XkbNewKeyboardNotifyMask | XkbMapNotifyMask);
    else
        xkbEventBase_ = -1;
    int xtestEvent = 0, xtestError = 0, xtestMajor = 0, xtestMinor = 0;
    xtest_ = XTestQueryExtension(display_, &xtestEvent, &xtestError, &xtestMajor, &xtestMinor);
    readModifierMapping();
    watch_ = loop_->watchReadable(ConnectionNumber(display_), [this] { processPendingEvents(); });
    // Read once the program is up, off the press's path: the first key kept
    // for a panel then costs no round trips.
    loop_->post([this, alive = std::weak_ptr<bool>(alive_)] {
        if (const auto flag = alive.lock(); !flag || !*flag || layout_)
            return;
        layout_ = XkbKeyboardLayout::ofDisplay(display_);
        drainLater();
    });
}

X11HotKeyBackend::~X11HotKeyBackend() {
    *alive_ = false;
    loop_->cancel(watch_);
    loop_->cancel(holdTimer_);
    loop_->cancel(stillDownTimer_);
    X11Connection::close(display_);  // releases every grab of this connection
}

void X11HotKeyBackend::readModifierMapping() const {
    if (!modifiersStale_)
        return;
    modifiersStale_ = false;
    ++layoutReads_;
    // Its reply may bring events along.
    struct DrainAfter {
        const X11HotKeyBackend* backend;
        ~DrainAfter() { backend->drainLater(); }
    } drainAfter{this};
    numLockMask_ = 0;
    altMask_ = 0;
    superMask_ = 0;
    XModifierKeymap* map = XGetModifierMapping(display_);
    if (!map)
        return;
    for (int modifier = 0; modifier < 8; ++modifier) {
        for (int i = 0; i < map->max_keypermod; ++i) {
            const KeyCode code = map->modifiermap[modifier * map->max_keypermod + i];
            if (code == 0)
                continue;
            const KeySym symbol = XkbKeycodeToKeysym(display_, code, 0, 0);
            const unsigned mask = 1u << modifier;
            if (symbol == XK_Num_Lock)
                numLockMask_ |= mask;
            else if ((symbol == XK_Alt_L || symbol == XK_Alt_R) && modifier >= Mod1MapIndex)
                altMask_ |= mask;
            else if ((symbol == XK_Super_L || symbol == XK_Super_R) && modifier >= Mod1MapIndex)
                superMask_ |= mask;
        }
    }
    XFreeModifiermap(map);
    // The usual assignment when the server names no key for a modifier.
    if (!altMask_)
        altMask_ = Mod1Mask;
    if (!superMask_)
        superMask_ = Mod4Mask;
    if (!numLockMask_)
        numLockMask_ = Mod2Mask;
    // Alt and Super sharing a bit with Num Lock would make every variant wrong.
    altMask_ &= ~numLockMask_;
    superMask_ &= ~numLockMask_;
}

std::vector<unsigned> X11HotKeyBackend::lockVariants() const {
    readModifierMapping();
    return {0u, static_cast<unsigned>(LockMask), numLockMask_, LockMask | numLockMask_};
}

unsigned X11HotKeyBackend::x11Modifiers(std::uint32_t carbon) const {
    readModifierMapping();
    unsigned result = 0;
    if (carbon & carbon_modifier::shift)
        result |= ShiftMask;
    if (carbon & carbon_modifier::control)
        result |= ControlMask;
    if (carbon & carbon_modifier::option)
        result |= altMask_;
    if (carbon & carbon_modifier::command)
        result |= superMask_;
    return result;
}

int X11HotKeyBackend::registerHotKey(HotKeyCombination combination, HotKeyId id) {
    if (const int status = validate(combination); status != hotkey_status::noErr)
        return status;
    const auto keyCode = static_cast<unsigned>(*KeyPositions::x11FromCarbon(combination.keyCode));
    int minKeyCode = 0, maxKeyCode = 0;
    XDisplayKeycodes(display_, &minKeyCode, &maxKeyCode);
    if (static_cast<int>(keyCode) < minKeyCode || static_cast<int>(keyCode) > maxKeyCode)
        return hotkey_status::hotKeyInvalid;
    const unsigned modifiers = x11Modifiers(combination.modifiers);
    for (const auto& grab : grabs_)
        if (grab.keyCode == keyCode && grab.modifiers == modifiers)
            return hotkey_status::hotKeyExists;

    X11ErrorTrap trap(display_);
    std::vector<unsigned> granted;
    int status = hotkey_status::noErr;
    for (const unsigned lock : lockVariants()) {
        XGrabKey(display_, static_cast<int>(keyCode), modifiers | lock, root_, False, GrabModeAsync, GrabModeAsync);
        status = statusFor(trap.sync());
        if (status != hotkey_status::noErr)
            break;
        granted.push_back(lock);
    }
    if (status != hotkey_status::noErr) {
        // All or nothing: a half-grabbed combination would steal the key
        // from its owner in some lock states only.
        for (const unsigned lock : granted)
            XUngrabKey(display_, static_cast<int>(keyCode), modifiers | lock, root_);
        trap.clear();
        trap.sync();
    } else {
        grabs_.push_back({id, combination, keyCode, modifiers});
    }
    drainLater();
    return status;
}

void X11HotKeyBackend::unregisterHotKey(HotKeyId id) {
    const auto it = std::ranges::find(grabs_, id, &Grab::id);
    if (it == grabs_.end())
        return;
    {
        X11ErrorTrap trap(display_);
        for (const unsigned lock : lockVariants())
            XUngrabKey(display_, static_cast<int>(it->keyCode), it->modifiers | lock, root_);
        trap.sync();
    }
    std::erase_if(pressed_, [&](const auto& entry) { return entry.second == id; });
    grabs_.erase(it);
    drainLater();
}

void X11HotKeyBackend::setHandler(Handler handler) { handler_ = std::move(handler); }

std::vector<HotKeyCombination> X11HotKeyBackend::reservedCombinations() {
    std::vector<HotKeyCombination> result;
    // A connection of its own: grabs fail against every other client,
    // including our main connection, whose grabs are left out below.
    Display* probe = X11Connection::open(DisplayString(display_));
    if (!probe)
        return result;
    const Window root = DefaultRootWindow(probe);
    int minKeyCode = 0, maxKeyCode = 0;
    XDisplayKeycodes(probe, &minKeyCode, &maxKeyCode);
    constexpr std::uint32_t kModifierBits[] = {carbon_modifier::command, carbon_modifier::shift,
                                               carbon_modifier::option, carbon_modifier::control};
    std::vector<std::pair<unsigned long, HotKeyCombination>> requests;
    {
        X11ErrorTrap trap(probe);
        for (const auto& [carbonKey, linuxKey] : KeyPositions::table()) {
            const int keyCode = linuxKey + 8;
            if (keyCode < minKeyCode || keyCode > maxKeyCode)
                continue;
            for (unsigned bits = 0; bits < 16; ++bits) {
                std::uint32_t carbon = 0;
                for (unsigned bit = 0; bit < 4; ++bit)
                    if (bits & (1u << bit))
                        carbon |= kModifierBits[bit];
                const HotKeyCombination combination{static_cast<std::uint32_t>(carbonKey), carbon};
                if (std::ranges::find(grabs_, combination, &Grab::combination) != grabs_.end())
                    continue;
                requests.emplace_back(NextRequest(probe), combination);
                XGrabKey(probe, keyCode, x11Modifiers(carbon), root, False, GrabModeAsync, GrabModeAsync);
            }
        }
        for (const auto& error : trap.sync()) {
            if (error.error_code != BadAccess)
                continue;
            const auto it = std::ranges::find(requests, error.serial,
                                              &std::pair<unsigned long, HotKeyCombination>::first);
            if (it != requests.end())
                result.push_back(it->second);
        }
    }
    X11Connection::close(probe);  // drops the probe's own grabs
    return result;
}

bool X11HotKeyBackend::isReserved(HotKeyCombination combination) {
    if (std::ranges::find(grabs_, combination, &Grab::combination) != grabs_.end())
        return false;  // ours
    const auto linuxKey = KeyPositions::linuxFromCarbon(combination.keyCode);
    if (!linuxKey)
        return false;
    Display* probe = X11Connection::open(DisplayString(display_));
    if (!probe)
        return false;
    bool taken = false;
    {
        X11ErrorTrap trap(probe);
        XGrabKey(probe, *linuxKey + 8, x11Modifiers(combination.modifiers), DefaultRootWindow(probe), False,
                 GrabModeAsync, GrabModeAsync);
        taken = statusFor(trap.sync()) == hotkey_status::hotKeyExists;
    }
    X11Connection::close(probe);  // drops the probe's grab, if it got one
    return taken;
}

void X11HotKeyBackend::releaseActiveGrab() {
    // The hold has its own end; the releases of the hot keys reach us
    // through it.
    if (holding_)
        return;
    XUngrabKeyboard(display_, CurrentTime);
    // Done once it returns: a grab another connection of ours asks for next
    // must not find this one still there. The sync also reads what the grab
    // delivered before it ended: repeats of the hot keys still down stay
    // repeats, handled later.
    XSync(display_, False);
    drainLater();
    reportHeldHotKeysReleased();
}

void X11HotKeyBackend::watchKeysStillDown() {
    if (stillDown_.empty() || stillDownTimer_)
        return;
    // Their releases go to other clients: the server's key map tells. A
    // release and a new press both between two looks would pass for a
    // repeat; the looks are closer together than a hand can do that.
    stillDownTimer_ = loop_->addTimer(std::chrono::milliseconds(20), false, [this, alive = std::weak_ptr<bool>(alive_)] {
        if (const auto flag = alive.lock(); !flag || !*flag)
            return;
        stillDownTimer_ = 0;
        char keys[32] = {};  // left so by a connection that broke: nothing is down
        XQueryKeymap(display_, keys);
        // Events not handled yet came before the answer: the repeats among
        // them must still find their key down. The next look counts.
        if (XQLength(display_) == 0)
            std::erase_if(stillDown_, [&](unsigned code) { return (keys[code / 8] & (1 << (code % 8))) == 0; });
        else
            drainLater();
        watchKeysStillDown();
    });
}

void X11HotKeyBackend::reportHeldHotKeysReleased() {
    // Their releases go to the window with the focus, never to us: they are
    // reported here, on the loop's next turn.
    std::vector<HotKeyId> held;
    for (const auto& entry : pressed_) {
        held.push_back(entry.second);
        stillDown_.insert(entry.first);
    }
    pressed_.clear();
    if (held.empty())
        return;
    watchKeysStillDown();
    loop_->post([this, held, alive = std::weak_ptr<bool>(alive_)] {
        for (const HotKeyId id : held) {
            const auto flag = alive.lock();
            if (!flag || !*flag || !handler_)
                return;
            const Handler handler = handler_;
            handler(HotKeyEventKind::released, id);
        }
    });
}

void X11HotKeyBackend::processPendingEvents() {
    drainPosted_ = false;
    const auto alive = alive_;
    if (holdExpired() && !*alive)
        return;
    const auto started = clock_->now();
    // What the socket holds now, read once: a client that keeps sending
    // gets the next turn, not this one.
    int queued = XEventsQueued(display_, QueuedAfterReading);
    int handled = 0;
    while (queued-- > 0 && handled < kEventsPerTurn) {
        XEvent event;
        XNextEvent(display_, &event);
        ++handled;
        if (!handleEvent(event))
            return;  // a handler destroyed this backend
        if (holdExpired() && !*alive)
            return;
        if (clock_->now() - started >= kTurnTime)
            break;
    }
    mostEventsInATurn_ = std::max(mostEventsInATurn_, handled);
    eventsHandled_ += handled;
    if (XEventsQueued(display_, QueuedAfterReading) > 0)
        drainLater();
    else
        finishMappingChange();
}

bool X11HotKeyBackend::handleEvent(XEvent& event) {
    const auto alive = alive_;
    if (event.type == KeyPress || event.type == KeyRelease) {
        // Without detectable auto-repeat a held key sends release+press
        // pairs with one time stamp: skip the release of such a pair.
        if (event.type == KeyRelease && XEventsQueued(display_, QueuedAlready) > 0) {
            XEvent next;
            XPeekEvent(display_, &next);
            if (next.type == KeyPress && next.xkey.keycode == event.xkey.keycode && next.xkey.time == event.xkey.time)
                return true;
        }
        const bool press = event.type == KeyPress;
        if (holding_ && press && (pressed_.contains(event.xkey.keycode) || stillDown_.contains(event.xkey.keycode)))
            return true;  // a hot key held down repeats
        if (holding_ && (press || !pressed_.contains(event.xkey.keycode))) {
            keepHeldKey(press, event.xkey.keycode, event.xkey.state, event.xkey.time);
            return true;
        }
        // Only a press that came through a passive grab can become a hold.
        deliveringPressTime_ = press ? event.xkey.time : 0;
        handleKey(press, event.xkey.keycode, event.xkey.state, event.xkey.time);
        if (!*alive)
            return false;
        deliveringPressTime_ = 0;
    } else if (event.type == MappingNotify) {
        XRefreshKeyboardMapping(&event.xmapping);
        mappingChanged();
    } else if (xkbEventBase_ >= 0 && event.type == xkbEventBase_) {
        const int kind = reinterpret_cast<const XkbEvent&>(event).any.xkb_type;
        if (kind == XkbNewKeyboardNotify || kind == XkbMapNotify)
            mappingChanged();
    }
    return *alive;
}

void X11HotKeyBackend::keepHeldKey(bool press, unsigned keyCode, unsigned state, unsigned long time) {
    if (press) {
        pressedWhileHeld_.insert(keyCode);
    } else if (pressedWhileHeld_.erase(keyCode) == 0) {
        return;  // let go of a key that was down before the hold: its press went elsewhere
    }
    if (!layout_) {
        ++layoutReads_;
        layout_ = XkbKeyboardLayout::ofDisplay(display_);
    }
    if (!layout_)
        layout_ = XkbKeyboardLayout::us();
    XkbKeyboardLayout::Typed typed;
    if (layout_)
        typed = layout_->typed(keyCode, state);
    held_.push_back({press, keyCode, state, static_cast<std::uint32_t>(time), typed.keysym, std::move(typed.text)});
    if (onKeyKept_) onKeyKept_();
}

bool X11HotKeyBackend::holdKeyboard() {
    if (holding_)
        return true;
    if (deliveringPressTime_ == 0)
        return false;
    // The press's passive grab is active now, so this turns it into an
    // active grab of this connection rather than asking for a new one.
    const int result =
        XGrabKeyboard(display_, root_, False, GrabModeAsync, GrabModeAsync, static_cast<Time>(deliveringPressTime_));
    if (result != GrabSuccess) {
        logger().error("Cannot hold the keyboard for the panel (another program grabbed it): keys typed before "
                       "the panel opens go to the application under it");
        return false;
    }
    holding_ = true;
    keeping_ = true;
    held_.clear();
    pressedWhileHeld_.clear();
    return true;
}

std::vector<HeldKeyEvent> X11HotKeyBackend::takeKeptKeys() {
    if (!keeping_)
        return {};
    const auto alive = alive_;
    if (holding_)
        processPendingEvents();
    if (!*alive)
        return {};
    return std::exchange(held_, {});
}

void X11HotKeyBackend::letGoOfHold() {
    if (!holding_)
        return;
    XUngrabKeyboard(display_, CurrentTime);
    // Every key event the server sent before it let go is in Xlib's queue
    // once the sync's reply is: keep them too.
    XSync(display_, False);
    for (int queued = XQLength(display_); queued > 0; --queued) {
        XEvent event;
        XNextEvent(display_, &event);
        if (!handleEvent(event))
            return;  // a handler destroyed this backend
    }
    holding_ = false;
    reportHeldHotKeysReleased();
    drainLater();
}

void X11HotKeyBackend::forgetHold() {
    loop_->cancel(holdTimer_);
    holdTimer_ = 0;
    holdDeadline_.reset();
    // Also after a grab that was lost: a hot key delivered from the kept
    // keys whose release never came is not down for its next press.
    if (std::exchange(keeping_, false))
        reportHeldHotKeysReleased();
    pressedWhileHeld_.clear();
}

std::vector<HeldKeyEvent> X11HotKeyBackend::endKeyboardHold() {
    const auto alive = alive_;
    letGoOfHold();
    if (!*alive)
        return {};
    forgetHold();
    return std::exchange(held_, {});
}

bool X11HotKeyBackend::endKeyboardHoldTyping(std::span<const SimulatedKeyEvent> keys) {
    if (!holding_ || !xtest_) {
        endKeyboardHold();
        return false;
    }
    forgetHold();
    held_.clear();
    XUngrabKeyboard(display_, CurrentTime);
    for (const auto& key : keys)
        XTestFakeKeyEvent(display_, key.keyCode, key.down ? True : False, CurrentTime);
    // The ungrab and the keys leave in this one write; the sync's reply says
    // the server has typed them.
    XSync(display_, False);
    holding_ = false;
    // Keys typed between the caller's last look and the ungrab came to the
    // hold: they follow at once, in the order they came. A hot key among
    // them is what its grab would have seen (typed again, it would meet
    // modifiers the user has let go of by now).
    bool late = false;
    for (int queued = XQLength(display_); queued > 0; --queued) {
        XEvent event;
        XNextEvent(display_, &event);
        const bool key = event.type == KeyPress || event.type == KeyRelease;
        const bool hotKey = key && (event.type == KeyPress ? hotKeyFor(event.xkey.keycode, event.xkey.state) != nullptr
                                                           : pressed_.contains(event.xkey.keycode));
        if (key && !hotKey) {
            // The key is still down for the server (the hold had its press):
            // let go of first, or the press would not be one again.
            if (event.type == KeyPress)
                XTestFakeKeyEvent(display_, event.xkey.keycode, False, CurrentTime);
            XTestFakeKeyEvent(display_, event.xkey.keycode, event.type == KeyPress ? True : False, CurrentTime);
            late = true;
        } else if (!handleEvent(event)) {
            return true;  // a handler destroyed this backend
        }
    }
    if (late)
        XFlush(display_);
    reportHeldHotKeysReleased();
    drainLater();
    return true;
}

bool X11HotKeyBackend::holdExpired() {
    if (!holdDeadline_ || clock_->now() < *holdDeadline_)
        return false;
    logger().info("The keyboard was held too long for a panel that did not take it: let go, and the keys typed "
                  "meanwhile dropped");
    endKeyboardHold();
    return true;
}

void X11HotKeyBackend::endKeyboardHoldAfter(std::chrono::milliseconds delay) {
    if (!keeping_)
        return;
    holdDeadline_ = clock_->now() + delay;
    loop_->cancel(holdTimer_);
    holdTimer_ = loop_->addTimer(delay, false, [this, alive = std::weak_ptr<bool>(alive_)] {
        if (const auto flag = alive.lock(); !flag || !*flag)
            return;
        holdTimer_ = 0;
        holdExpired();
    });
}

bool X11HotKeyBackend::typeThroughHold(std::span<const SimulatedKeyEvent> keys) {
    if (!holding_ || !xtest_)
        return false;
    XUngrabKeyboard(display_, CurrentTime);
    for (const auto& key : keys)
        XTestFakeKeyEvent(display_, key.keyCode, key.down ? True : False, CurrentTime);
    // The grab waits for its reply, so the ungrab, the keys and the grab go
    // out in one write and nothing of ours runs between them.
    if (XGrabKeyboard(display_, root_, False, GrabModeAsync, GrabModeAsync, CurrentTime) != GrabSuccess) {
        // The keys kept so far stay for whoever ends the hold, and go with
        // it: none waits for a later one.
        logger().error("Cannot take the keyboard back after the copy key: keys typed before the panel opens go to "
                       "the application under it");
        holding_ = false;
        pressedWhileHeld_.clear();
    }
    drainLater();
    return true;
}

bool X11HotKeyBackend::isHotKeyPress(std::uint32_t keyCode, std::uint32_t state) const {
    return hotKeyFor(keyCode, state) != nullptr;
}

const X11HotKeyBackend::Grab* X11HotKeyBackend::hotKeyFor(unsigned keyCode, unsigned state) const {
    readModifierMapping();
    const unsigned modifiers = state & (ShiftMask | ControlMask | altMask_ | superMask_);
    const auto it = std::ranges::find_if(
        grabs_, [&](const Grab& grab) { return grab.keyCode == keyCode && grab.modifiers == modifiers; });
    return it == grabs_.end() ? nullptr : &*it;
}

bool X11HotKeyBackend::deliverKey(HotKeyEventKind kind, bool autoRepeat, std::uint32_t keyCode, std::uint32_t state,
                                  std::uint32_t time) {
    return handleKey(kind == HotKeyEventKind::pressed, keyCode, state, time, autoRepeat);
}

bool X11HotKeyBackend::handleKey(bool press, unsigned keyCode, unsigned state, unsigned long time, bool autoRepeat) {
    if (!press) {
        // Matched by key code alone: the modifiers are often let go first.
        const auto it = pressed_.find(keyCode);
        if (it == pressed_.end())
            return stillDown_.erase(keyCode) > 0;  // reported when its grab ended
        const HotKeyId id = it->second;
        pressed_.erase(it);
        if (handler_) {
            const Handler handler = handler_;
            handler(HotKeyEventKind::released, id);
        }
        return true;
    }
    // Auto-repeat of a key already down; one held since its grab ended
    // repeats through the passive grab, which each repeat activates anew.
    if (pressed_.contains(keyCode) || stillDown_.contains(keyCode))
        return true;
    const Grab* grab = hotKeyFor(keyCode, state);
    if (!grab)
        return false;
    if (autoRepeat)
        return true;
    const HotKeyId id = grab->id;
    pressed_[keyCode] = id;
    lastPressTime_ = static_cast<std::uint32_t>(time);
    if (handler_) {
        const Handler handler = handler_;
        handler(HotKeyEventKind::pressed, id);
    }
    return true;
}

void X11HotKeyBackend::mappingChanged() {
    // Read again on first use, not per event: a client that sends thousands
    // of changes costs one read.
    modifiersStale_ = true;
    layout_.reset();
    mappingChanged_ = true;
}

void X11HotKeyBackend::finishMappingChange() {
    // One change arrives as several events (one per part of the keymap), and
    // a client may send thousands: tell the program once, after the run.
    if (!mappingChanged_ || mappingChangePosted_)
        return;
    mappingChanged_ = false;
    mappingChangePosted_ = true;
    loop_->post([this, alive = std::weak_ptr<bool>(alive_)] {
        if (const auto flag = alive.lock(); !flag || !*flag)
            return;
        mappingChangePosted_ = false;
        NotificationCenter::defaultCenter().post(std::string(kKeyboardMappingDidChange));
    });
}

void X11HotKeyBackend::drainLater() const {
    // A request that waited for its reply (a sync, a grab, a keymap read)
    // may have read events off the connection, or a turn left some there:
    // the descriptor will not signal them again. Asked after reading, as
    // the keymap's requests leave theirs below Xlib's own queue.
    if (drainPosted_ || XEventsQueued(display_, QueuedAfterReading) == 0)
        return;
    drainPosted_ = true;
    auto* self = const_cast<X11HotKeyBackend*>(this);  // the drain changes nothing a caller sees
    loop_->post([self, alive = std::weak_ptr<bool>(alive_)] {
        if (const auto flag = alive.lock(); flag && *flag)
            self->processPendingEvents();
    });
}

}  // namespace platform
