#pragma once

#include <memory>
#include <vector>

#include "GlobalShortcuts/Event.h"
#include "GlobalShortcuts/HotKey.h"
#include "platform/HotKeyBackend.h"

// The system-wide hot keys under the named shortcuts: registers shortcuts
// with the desktop's hot-key service, delivers their presses and releases,
// suspends them while a menu of the program is open (listening to the
// application's own key events instead) and while the library is disabled.
// Knows nothing of names or storage. Main thread only.
namespace CarbonGlobalShortcuts {

using GlobalShortcuts::Shortcut;
using GlobalShortcuts::ShortcutCallback;

// Every hot-key id carries this signature.
inline constexpr std::uint32_t kSignature = 0x484B5247;  // 'HKRG'

// Registers the shortcut and returns the hot-key status. A refused one
// prints "Error registering hotkey <text>: <status>" and is not kept, unless
// it was refused only because no backend was installed and no Qt application
// exists yet: it is then grabbed at the first registration after the default
// backend could be made (see backend()). While
// the library is disabled or a menu is open the entry is kept suspended and
// grabbed only when normal mode returns, so a disabled library never takes
// keys from other applications. Key codes and masks outside 32 bits are
// refused (-9879), never truncated.
int register_(const Shortcut& shortcut, ShortcutCallback onKeyDown, ShortcutCallback onKeyUp);

// Removes every hot key of this shortcut.
void unregister(const Shortcut& shortcut);

// Suspends every hot key, keeping the entries.
void unregisterAll();
// Grabs every suspended hot key again; one the system refuses now is printed
// and dropped.
void reregisterAll();

// Applies the mode of GlobalShortcuts' isEnabled and isMenuOpen flags.
void updateEventHandler();

// Combinations other clients already hold on this desktop (see the backend).
std::vector<Shortcut> systemReservedShortcuts();
// Whether another program holds this one shortcut (the recorder asks for the
// combination being recorded only: probing every combination would take each
// of them from the desktop for a moment).
bool isSystemReserved(const Shortcut& shortcut);

// Whether an entry exists for the shortcut (live or suspended).
bool isRegistered(const Shortcut& shortcut);
std::vector<GlobalShortcuts::HotKey> hotKeys();

// The handler of hot-key events the backend delivers.
int handleHotKeyEvent(platform::HotKeyEventKind kind, platform::HotKeyId id);
// Raw key dispatch while a menu is open: calls the callbacks of the hot key
// with this key code and (normalised) modifiers; auto-repeats are not ours.
int handleRawKeyEvent(const GlobalShortcuts::Event& event);

// The hot-key service: the program installs the X11 one at start-up. While
// nothing was ever installed, it is the library's default: the X11 backend
// on a connection of its own to the display of the running Qt application,
// made at the first use on that application's thread (see
// platform::LibraryDefaults). Where there is none (no Qt application on X11,
// another thread, or after the program uninstalled its own), every
// registration fails with -9868 and a log line that says so.
std::shared_ptr<platform::HotKeyBackend> backend();
void setBackend(std::shared_ptr<platform::HotKeyBackend> backend);

// Forgets every hot key, the id counter and the handler (tests start clean).
void resetForTesting();
// Ungrabs every hot key and lets go of the backend with its X connection:
// the program's end.
void shutDown();

}  // namespace CarbonGlobalShortcuts
