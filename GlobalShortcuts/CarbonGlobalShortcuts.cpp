#include "GlobalShortcuts/CarbonGlobalShortcuts.h"

#include <QGuiApplication>
#include <QThread>

#include <unistd.h>

#include <iostream>
#include <limits>
#include <map>
#include <string>

#include "GlobalShortcuts/GlobalShortcuts.h"
#include "GlobalShortcuts/RunLoopLocalEventMonitor.h"
#include "GlobalShortcuts/ModifierFlags.h"
#include "platform/Error.h"
#include "platform/LibraryDefaults.h"
#include "platform/Logger.h"
#include "platform/UnavailableHotKeyBackend.h"
#include "platform/x11/X11HotKeyBackend.h"

// Last: its macros would clash with the names above.
#include <X11/Xlib.h>

namespace CarbonGlobalShortcuts {

namespace status = platform::hotkey_status;
using GlobalShortcuts::Event;
using GlobalShortcuts::HotKey;

namespace {

struct State {
    std::map<long long, HotKey> hotKeys;  // by id, so "first met" is the oldest
    long long hotKeyIdCounter = 0;
    bool eventHandlerInstalled = false;
    // Made on first use and kept; it takes the application's key events only
    // between start and stop, while a menu of the program is open.
    std::unique_ptr<GlobalShortcuts::RunLoopLocalEventMonitor> keyEventMonitor;
    std::shared_ptr<platform::HotKeyBackend> backend;  // installed, or the default made
    bool backendEverInstalled = false;
    // The default was just made: the hot keys kept while there was no
    // display move to it at the next registration.
    bool backendJustMade = false;
};

State& state() {
    static State instance;
    return instance;
}

platform::HotKeyId hotKeyId(long long id) { return {kSignature, static_cast<std::uint32_t>(id)}; }

bool fitsIn32Bits(long long value) { return value >= 0 && value <= std::numeric_limits<std::uint32_t>::max(); }

// The backend of a program that has none (yet): registrations fail with a
// log line that says why.
const std::shared_ptr<platform::HotKeyBackend>& backendWithoutDisplay() {
    static const auto* const backend =
        new std::shared_ptr<platform::HotKeyBackend>(std::make_shared<platform::UnavailableHotKeyBackend>());
    return *backend;
}

// Whether this is another thread than the one the Qt application runs on or,
// before there is one, than the process's first thread.
bool offTheApplicationThread() {
    if (const auto* application = QCoreApplication::instance())
        return QThread::currentThread() != application->thread();
    return ::gettid() != ::getpid();
}

// The default of a program that installed no backend: the X11 one on a
// connection of its own to the display of the running Qt application (never
// Qt's own connection, whose events the backend would take from Qt), made
// once on that application's thread, where its main loop is (backend()
// calls it there only). Null while there is no such application yet.
std::shared_ptr<platform::HotKeyBackend> defaultBackend() {
    static std::shared_ptr<platform::HotKeyBackend> made;
    if (made)
        return made;
    auto* application = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!application)
        return nullptr;
    const auto* x11 = application->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->display())
        return nullptr;
    const auto loop = GlobalShortcuts::detail::mainLoop();
    if (!loop)
        return nullptr;
    const std::string displayName = DisplayString(x11->display());
    try {
        made = platform::LibraryDefaults::make<platform::HotKeyBackend>(
            "the hot-key backend",
            [&] { return std::make_shared<platform::X11HotKeyBackend>(loop, displayName.c_str()); },
            platform::LibraryDefaults::Ending::nothing);
    } catch (const platform::Error& error) {
        platform::Logger("quillary", "hotkeys").error(error.description());
    }
    return made;
}

// Whether registrations go to the backend without a display only for want
// of a Qt application: they are kept, to move to the default once it exists.
bool awaitingDefaultBackend() { return !state().backend && !state().backendEverInstalled; }

void printRegistrationError(const Shortcut& shortcut, int code) {
    std::cout << "Error registering hotkey " << shortcut.description() << ": " << code << std::endl;
}

bool hotKeysAreSuspended() { return !GlobalShortcuts::isEnabled() || GlobalShortcuts::isMenuOpen(); }

void installEventHandler() {
    auto& s = state();
    if (s.eventHandlerInstalled)
        return;
    s.eventHandlerInstalled = true;
    updateEventHandler();
}

void subscribeToHotKeyEvents(bool subscribe) {
    if (subscribe)
        backend()->setHandler(&handleHotKeyEvent);
    else
        backend()->setHandler({});
}

GlobalShortcuts::RunLoopLocalEventMonitor& keyEventMonitor() {
    auto& monitor = state().keyEventMonitor;
    if (!monitor) {
        monitor = std::make_unique<GlobalShortcuts::RunLoopLocalEventMonitor>(
            GlobalShortcuts::eventMask(Event::keyDown) | GlobalShortcuts::eventMask(Event::keyUp),
            GlobalShortcuts::RunLoopMode::eventTracking, [](const Event& event) -> std::optional<Event> {
                if (handleRawKeyEvent(event) == status::noErr)
                    return std::nullopt;
                return event;
            });
    }
    return *monitor;
}

void stopKeyEventMonitor() {
    if (state().keyEventMonitor)
        state().keyEventMonitor->stop();
}

}  // namespace

int register_(const Shortcut& shortcut, ShortcutCallback onKeyDown, ShortcutCallback onKeyUp) {
    auto& s = state();
    (void)backend();  // the default, once a Qt application exists
    if (s.backendJustMade) {
        s.backendJustMade = false;
        updateEventHandler();
    }
    const long long id = ++s.hotKeyIdCounter;
    int result = status::hotKeyInvalid;
    bool live = false;
    if (fitsIn32Bits(shortcut.carbonKeyCode()) && fitsIn32Bits(shortcut.carbonModifiers()) && fitsIn32Bits(id)) {
        const platform::HotKeyCombination combination{static_cast<std::uint32_t>(shortcut.carbonKeyCode()),
                                                      static_cast<std::uint32_t>(shortcut.carbonModifiers())};
        if (hotKeysAreSuspended()) {
            // Grabbing now would take the keys from every other application
            // while we would not even listen: wait for normal mode.
            result = platform::HotKeyBackend::validate(combination);
        } else {
            result = backend()->registerHotKey(combination, hotKeyId(id));
            live = true;
        }
    }
    if (result != status::noErr) {
        printRegistrationError(shortcut, result);
        if (!(live && awaitingDefaultBackend()))
            return result;
        live = false;  // kept, to be grabbed once the default exists
    }
    s.hotKeys.insert_or_assign(id, HotKey{shortcut, id, live, std::move(onKeyDown), std::move(onKeyUp)});
    installEventHandler();
    return result;
}

void unregister(const Shortcut& shortcut) {
    auto& hotKeys = state().hotKeys;
    for (auto it = hotKeys.begin(); it != hotKeys.end();) {
        if (it->second.shortcut == shortcut) {
            if (it->second.isLive)
                backend()->unregisterHotKey(hotKeyId(it->first));
            it = hotKeys.erase(it);
        } else {
            ++it;
        }
    }
}

void unregisterAll() {
    for (auto& [id, hotKey] : state().hotKeys) {
        if (hotKey.isLive) {
            backend()->unregisterHotKey(hotKeyId(id));
            hotKey.isLive = false;
        }
    }
}

void reregisterAll() {
    (void)backend();
    if (awaitingDefaultBackend())
        return;  // nothing to grab with yet: the entries wait for the default
    auto& hotKeys = state().hotKeys;
    for (auto it = hotKeys.begin(); it != hotKeys.end();) {
        auto& hotKey = it->second;
        if (hotKey.isLive) {
            ++it;
            continue;
        }
        const platform::HotKeyCombination combination{static_cast<std::uint32_t>(hotKey.shortcut.carbonKeyCode()),
                                                      static_cast<std::uint32_t>(hotKey.shortcut.carbonModifiers())};
        const int result = backend()->registerHotKey(combination, hotKeyId(it->first));
        if (result == status::noErr) {
            hotKey.isLive = true;
            ++it;
        } else {
            printRegistrationError(hotKey.shortcut, result);
            it = hotKeys.erase(it);
        }
    }
}

void updateEventHandler() {
    if (!state().eventHandlerInstalled)
        return;
    if (!GlobalShortcuts::isEnabled()) {
        unregisterAll();
        subscribeToHotKeyEvents(false);
        stopKeyEventMonitor();
    } else if (GlobalShortcuts::isMenuOpen()) {
        // The open menu holds the keyboard, so grabbed keys would not arrive:
        // listen to the application's own key events instead.
        unregisterAll();
        subscribeToHotKeyEvents(false);
        keyEventMonitor().start();
    } else {
        reregisterAll();
        stopKeyEventMonitor();
        subscribeToHotKeyEvents(true);
    }
}

std::vector<Shortcut> systemReservedShortcuts() {
    std::vector<Shortcut> result;
    for (const auto& combination : backend()->reservedCombinations())
        result.emplace_back(combination.keyCode, combination.modifiers);
    return result;
}

bool isSystemReserved(const Shortcut& shortcut) {
    if (!fitsIn32Bits(shortcut.carbonKeyCode()) || !fitsIn32Bits(shortcut.carbonModifiers()))
        return false;
    return backend()->isReserved({static_cast<std::uint32_t>(shortcut.carbonKeyCode()),
                                  static_cast<std::uint32_t>(shortcut.carbonModifiers())});
}

bool isRegistered(const Shortcut& shortcut) {
    for (const auto& [id, hotKey] : state().hotKeys)
        if (hotKey.shortcut == shortcut)
            return true;
    return false;
}

std::vector<HotKey> hotKeys() {
    std::vector<HotKey> result;
    for (const auto& [id, hotKey] : state().hotKeys)
        result.push_back(hotKey);
    return result;
}

int handleHotKeyEvent(platform::HotKeyEventKind kind, platform::HotKeyId hotKeyId) {
    if (hotKeyId.signature != kSignature)
        return status::eventNotHandled;
    const auto& hotKeys = state().hotKeys;
    const auto it = hotKeys.find(hotKeyId.id);
    if (it == hotKeys.end())
        return status::eventNotHandled;
    // Copies: the callback may unregister its own hot key.
    const Shortcut shortcut = it->second.shortcut;
    const ShortcutCallback callback =
        kind == platform::HotKeyEventKind::pressed ? it->second.onKeyDown : it->second.onKeyUp;
    if (callback)
        callback(shortcut);
    return status::noErr;
}

int handleRawKeyEvent(const Event& event) {
    if (event.type != Event::keyDown && event.type != Event::keyUp)
        return status::eventNotHandled;
    const auto modifiers = GlobalShortcuts::ModifierFlags::toCarbon(event.modifierFlags);
    for (const auto& [id, hotKey] : state().hotKeys) {
        if (hotKey.shortcut.carbonKeyCode() != event.keyCode || hotKey.shortcut.carbonModifiers() != modifiers)
            continue;
        if (event.isARepeat)
            return status::eventNotHandled;
        const Shortcut shortcut = hotKey.shortcut;
        const ShortcutCallback callback = event.type == Event::keyDown ? hotKey.onKeyDown : hotKey.onKeyUp;
        if (callback)
            callback(shortcut);
        return status::noErr;
    }
    return status::eventNotHandled;
}

std::shared_ptr<platform::HotKeyBackend> backend() {
    // The state is the application thread's: another thread reads none of
    // it, or it would race with that thread's first call making the default.
    if (offTheApplicationThread())
        return backendWithoutDisplay();
    auto& s = state();
    if (s.backend)
        return s.backend;
    // Never a default after an uninstall: the program's end has let go of
    // its backend, and a late read must not open a display again.
    if (!s.backendEverInstalled) {
        if (auto made = defaultBackend()) {
            s.backend = std::move(made);
            s.backendJustMade = true;
            return s.backend;
        }
    }
    return backendWithoutDisplay();
}

void setBackend(std::shared_ptr<platform::HotKeyBackend> newBackend) {
    auto& s = state();
    if (newBackend)
        s.backendEverInstalled = true;
    s.backend = std::move(newBackend);
}

namespace {

// Ungrabs every live hot key and forgets them with the handler.
void forgetHotKeys() {
    auto& s = state();
    if (s.backend) {
        for (const auto& [id, hotKey] : s.hotKeys)
            if (hotKey.isLive)
                s.backend->unregisterHotKey(hotKeyId(id));
        s.backend->setHandler({});
    }
    s.hotKeys.clear();
    s.hotKeyIdCounter = 0;
    s.eventHandlerInstalled = false;
    s.keyEventMonitor.reset();
}

// The test main's stand-in for a backend nobody installed: the one without
// a display, as before the default existed.
[[maybe_unused]] const bool standIn = platform::LibraryDefaults::addStandIn([] {
    if (!state().backend)
        setBackend(backendWithoutDisplay());
});

}  // namespace

void resetForTesting() { forgetHotKeys(); }

void shutDown() {
    forgetHotKeys();
    state().backend.reset();
}

}  // namespace CarbonGlobalShortcuts
