#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "GlobalShortcuts/EventStream.h"
#include "GlobalShortcuts/Name.h"
#include "GlobalShortcuts/Shortcut.h"
#include "platform/MainLoop.h"

// Named global shortcuts: the user's choice for each name is kept in the
// standard user defaults, actions and streams are attached to names, and
// the system hot keys follow what is stored and listened to. Every change of
// a stored shortcut is announced on the default notification centre.
// Main thread only.
namespace GlobalShortcuts {

// Posted with {"name": Name} whenever a name's stored shortcut changes.
inline constexpr std::string_view kShortcutByNameDidChange = "GlobalShortcuts_shortcutByNameDidChange";
// Posted (no user info) when a menu of the program opens and when the last
// one closes; in a Qt application the event bridge posts them for every popup
// window. While a menu is open, shortcuts come from the application's own key
// events, since the menu holds the keyboard.
inline constexpr std::string_view kMenuDidBeginTracking = "GlobalShortcuts_menuDidBeginTracking";
inline constexpr std::string_view kMenuDidEndTracking = "GlobalShortcuts_menuDidEndTracking";
// Prefix of the storage keys.
inline constexpr std::string_view kUserDefaultsKeyPrefix = "GlobalShortcuts_";

using Action = std::function<void()>;

// The stored shortcut of the name; none when nothing, false, or anything
// that is not the JSON text of a shortcut is stored.
std::optional<Shortcut> getShortcut(const Name& name);
// Stores (and registers) a shortcut, or removes it: a name with a default
// then keeps `false`, so the default is not written again.
void setShortcut(const std::optional<Shortcut>& shortcut, const Name& name);

// Back to the default (or to nothing for names without one).
void reset(const std::vector<Name>& names);
template <class... Names>
void reset(const Name& first, const Names&... rest) {
    reset(std::vector<Name>{first, rest...});
}
// Resets every name found in storage. Names found there carry no default, so
// their shortcut texts are removed; stored `false` values stay.
void resetAll();

// Registers / unregisters the stored shortcuts of the names; storage stays.
void enable(const std::vector<Name>& names);
void disable(const std::vector<Name>& names);
template <class... Names>
void enable(const Name& first, const Names&... rest) {
    enable(std::vector<Name>{first, rest...});
}
template <class... Names>
void disable(const Name& first, const Names&... rest) {
    disable(std::vector<Name>{first, rest...});
}

// Runs the action each time the name's current shortcut goes down / up.
void onKeyDown(const Name& name, Action action);
void onKeyUp(const Name& name, Action action);
// Drops every action; hot keys that open streams still need stay.
void removeAllHandlers();

// Off: no hot key is held and nothing fires.
bool isEnabled();
void setEnabled(bool enabled);
// While paused (a recorder records), presses fire nothing.
bool isPaused();
void setPaused(bool paused);
// Set by the menu notifications above.
bool isMenuOpen();
void setMenuOpen(bool open);

// The shortcuts currently handed to the hot-key layer (live or suspended).
std::vector<Shortcut> registeredShortcuts();

// Forgets every action, stream, flag and hot key (tests start clean).
void resetForTesting();

namespace detail {
// The main loop the library posts to: the one installed, else (nothing was
// ever installed) a Qt main loop made at the first use on the thread of the
// running Qt application, kept as a library default. Null where there is
// none (no Qt application, asked first from another thread, or after the
// program uninstalled its own): the caller then does nothing, and a log
// line says so once.
std::shared_ptr<platform::MainLoop> mainLoop();
void addStream(const Name& name, std::uint64_t id, std::function<void(EventType)> deliver);
void removeStream(const Name& name, std::uint64_t id);
void saveShortcut(const Shortcut& shortcut, const Name& name);
void installMenuTrackingObservers();
// Runs the actions and streams of every name whose stored shortcut is the
// one pressed or released.
void dispatch(EventType type, const Shortcut& shortcut);
}  // namespace detail

}  // namespace GlobalShortcuts
