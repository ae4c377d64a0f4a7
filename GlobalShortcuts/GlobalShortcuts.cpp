#include "GlobalShortcuts/GlobalShortcuts.h"

#include <QCoreApplication>
#include <QThread>

#include <algorithm>
#include <map>
#include <mutex>
#include <string>

#include "GlobalShortcuts/CarbonGlobalShortcuts.h"
#include "GlobalShortcuts/QtEventBridge.h"
#include "platform/LibraryDefaults.h"
#include "platform/Logger.h"
#include "platform/NotificationCenter.h"
#include "platform/qt/QtMainLoop.h"
#include "platform/UndecodableValue.h"
#include "platform/UserDefaults.h"

namespace GlobalShortcuts {

namespace {

using Deliver = std::function<void(EventType)>;
using Streams = std::map<std::uint64_t, Deliver>;

// Tables are keyed by the name's raw value, which is all a name's identity is.
struct State {
    std::map<std::string, std::vector<Action>, std::less<>> keyDownHandlers;
    std::map<std::string, std::vector<Action>, std::less<>> keyUpHandlers;
    std::map<std::string, Streams, std::less<>> streamKeyDownHandlers;
    std::map<std::string, Streams, std::less<>> streamKeyUpHandlers;
    bool isEnabled = true;
    bool isPaused = false;
    bool isMenuOpen = false;
    bool observersInstalled = false;
    platform::ObserverToken menuBeginObserver;
    platform::ObserverToken menuEndObserver;
};

State& state() {
    static State instance;
    return instance;
}

std::string storageKey(std::string_view rawValue) {
    std::string key(kUserDefaultsKeyPrefix);
    key += rawValue;
    return key;
}

std::optional<Shortcut> storedShortcut(std::string_view rawValue) {
    const auto defaults = platform::UserDefaults::standard();
    const auto key = storageKey(rawValue);
    const auto stored = defaults->object(key);
    if (!stored)
        return std::nullopt;
    if (const auto* text = std::get_if<std::string>(&*stored)) {
        if (auto shortcut = Shortcut::fromJson(*text))
            return shortcut;
    } else if (const auto* flag = std::get_if<bool>(&*stored); flag && !*flag) {
        return std::nullopt;  // the user removed the shortcut
    }
    // A hand edit: it reads as no shortcut, and is kept before a recorded
    // shortcut replaces it. Read at every key press, it is kept and logged
    // once.
    platform::keepUndecodableValue(*defaults, key, *stored, "not the text of a shortcut");
    return std::nullopt;
}

void postChange(const Name& name) {
    platform::NotificationCenter::defaultCenter().post(std::string(kShortcutByNameDidChange), {{"name", name}});
}

void registerShortcut(const Shortcut& shortcut) {
    // Only a live entry in the hot-key layer counts as registered, so a
    // shortcut the system refused (or dropped after a menu) is tried again.
    if (CarbonGlobalShortcuts::isRegistered(shortcut))
        return;
    CarbonGlobalShortcuts::register_(
        shortcut, [](const Shortcut& pressed) { detail::dispatch(EventType::keyDown, pressed); },
        [](const Shortcut& released) { detail::dispatch(EventType::keyUp, released); });
}

void unregisterShortcut(const Shortcut& shortcut) { CarbonGlobalShortcuts::unregister(shortcut); }

// Whether a name with actions or open streams, other than `except`, holds
// the shortcut: its hot key must then stay.
bool neededByAnotherName(const Shortcut& shortcut, std::optional<std::string_view> except) {
    const auto& s = state();
    const auto holds = [&](const std::string& rawValue) {
        return (!except || rawValue != *except) && storedShortcut(rawValue) == shortcut;
    };
    for (const auto& [rawValue, actions] : s.keyDownHandlers)
        if (holds(rawValue))
            return true;
    for (const auto& [rawValue, actions] : s.keyUpHandlers)
        if (holds(rawValue))
            return true;
    for (const auto& [rawValue, streams] : s.streamKeyDownHandlers)
        if (!streams.empty() && holds(rawValue))
            return true;
    return false;
}

void setFlag(bool& flag, bool value) {
    if (flag == value)
        return;
    flag = value;
    CarbonGlobalShortcuts::updateEventHandler();
}

}  // namespace

// Name

Name::Name(std::string rawValue, std::optional<Shortcut> defaultShortcut)
    : rawValue_(std::move(rawValue)), defaultShortcut_(std::move(defaultShortcut)) {
    if (defaultShortcut_ && !platform::UserDefaults::standard()->contains(userDefaultsKey()))
        detail::saveShortcut(*defaultShortcut_, *this);
    detail::installMenuTrackingObservers();
}

Name::Name(Plain, std::string rawValue, std::optional<Shortcut> defaultShortcut)
    : rawValue_(std::move(rawValue)), defaultShortcut_(std::move(defaultShortcut)) {}

Name Name::fromRawValue(std::string rawValue) {
    detail::installMenuTrackingObservers();
    return Name(Plain{}, std::move(rawValue), std::nullopt);
}

std::optional<Shortcut> Name::shortcut() const { return getShortcut(*this); }

void Name::setShortcut(const std::optional<Shortcut>& shortcut) const { GlobalShortcuts::setShortcut(shortcut, *this); }

std::string Name::userDefaultsKey() const { return storageKey(rawValue_); }

// Reading and writing

std::optional<Shortcut> getShortcut(const Name& name) { return storedShortcut(name.rawValue()); }

void setShortcut(const std::optional<Shortcut>& shortcut, const Name& name) {
    if (shortcut) {
        detail::saveShortcut(*shortcut, name);
        return;
    }
    const auto old = getShortcut(name);
    if (!old)
        return;
    const auto defaults = platform::UserDefaults::standard();
    if (name.defaultShortcut())
        defaults->setBool(name.userDefaultsKey(), false);
    else
        defaults->remove(name.userDefaultsKey());
    if (!neededByAnotherName(*old, name.rawValue()))
        unregisterShortcut(*old);
    postChange(name);
}

void reset(const std::vector<Name>& names) {
    for (const auto& name : names) {
        if (name.defaultShortcut())
            detail::saveShortcut(*name.defaultShortcut(), name);
        else
            setShortcut(std::nullopt, name);
    }
}

void resetAll() {
    std::vector<Name> names;
    for (const auto& key : platform::UserDefaults::standard()->keys(kUserDefaultsKeyPrefix))
        if (key.starts_with(kUserDefaultsKeyPrefix) && !platform::UserDefaults::isKeptCopy(key))
            names.push_back(Name::fromRawValue(key.substr(kUserDefaultsKeyPrefix.size())));
    reset(names);
}

void enable(const std::vector<Name>& names) {
    for (const auto& name : names)
        if (const auto shortcut = getShortcut(name))
            registerShortcut(*shortcut);
}

void disable(const std::vector<Name>& names) {
    for (const auto& name : names)
        if (const auto shortcut = getShortcut(name))
            unregisterShortcut(*shortcut);
}

// Actions and streams

void onKeyDown(const Name& name, Action action) {
    state().keyDownHandlers[name.rawValue()].push_back(std::move(action));
    if (const auto shortcut = getShortcut(name))
        registerShortcut(*shortcut);
}

void onKeyUp(const Name& name, Action action) {
    state().keyUpHandlers[name.rawValue()].push_back(std::move(action));
    if (const auto shortcut = getShortcut(name))
        registerShortcut(*shortcut);
}

void removeAllHandlers() {
    auto& s = state();
    std::vector<Shortcut> withActions;
    std::vector<Shortcut> withStreams;
    const auto collect = [](std::vector<Shortcut>& into, const std::string& rawValue) {
        if (const auto shortcut = storedShortcut(rawValue))
            if (std::ranges::find(into, *shortcut) == into.end())
                into.push_back(*shortcut);
    };
    for (const auto& [rawValue, actions] : s.keyDownHandlers)
        collect(withActions, rawValue);
    for (const auto& [rawValue, actions] : s.keyUpHandlers)
        collect(withActions, rawValue);
    for (const auto& [rawValue, streams] : s.streamKeyDownHandlers)
        if (!streams.empty())
            collect(withStreams, rawValue);
    for (const auto& shortcut : withActions)
        if (std::ranges::find(withStreams, shortcut) == withStreams.end())
            unregisterShortcut(shortcut);
    s.keyDownHandlers.clear();
    s.keyUpHandlers.clear();
}

// Flags

bool isEnabled() { return state().isEnabled; }
void setEnabled(bool enabled) { setFlag(state().isEnabled, enabled); }
bool isPaused() { return state().isPaused; }
void setPaused(bool paused) { state().isPaused = paused; }
bool isMenuOpen() { return state().isMenuOpen; }
void setMenuOpen(bool open) { setFlag(state().isMenuOpen, open); }

std::vector<Shortcut> registeredShortcuts() {
    std::vector<Shortcut> result;
    for (const auto& hotKey : CarbonGlobalShortcuts::hotKeys())
        if (std::ranges::find(result, hotKey.shortcut) == result.end())
            result.push_back(hotKey.shortcut);
    return result;
}

void resetForTesting() {
    CarbonGlobalShortcuts::resetForTesting();
    auto& s = state();
    s.keyDownHandlers.clear();
    s.keyUpHandlers.clear();
    s.streamKeyDownHandlers.clear();
    s.streamKeyUpHandlers.clear();
    s.isEnabled = true;
    s.isPaused = false;
    s.isMenuOpen = false;
    s.menuBeginObserver.reset();
    s.menuEndObserver.reset();
    s.observersInstalled = false;
}

namespace detail {

namespace {

// A Qt main loop binds to the thread that makes it: only the running
// application's own thread may.
std::shared_ptr<platform::MainLoop> makeQtMainLoop() {
    const auto* application = QCoreApplication::instance();
    if (!application || QThread::currentThread() != application->thread())
        return nullptr;
    return platform::LibraryDefaults::make<platform::MainLoop>(
        "the main loop", [] { return std::make_shared<platform::QtMainLoop>(); },
        platform::LibraryDefaults::Ending::nothing);
}

}  // namespace

std::shared_ptr<platform::MainLoop> mainLoop() {
    if (auto loop = platform::MainLoop::main(&makeQtMainLoop))
        return loop;
    static std::once_flag logged;
    std::call_once(logged, [] {
        platform::Logger("quillary", "hotkeys")
            .error("No main loop: shortcut events and bindings do nothing until a Qt application runs on this "
                   "thread or platform::MainLoop::setMain installs one");
    });
    return nullptr;
}

void saveShortcut(const Shortcut& shortcut, const Name& name) {
    const auto text = shortcut.toJson();
    if (const auto old = getShortcut(name); old && !neededByAnotherName(*old, name.rawValue()))
        unregisterShortcut(*old);
    registerShortcut(shortcut);
    platform::UserDefaults::standard()->setString(name.userDefaultsKey(), text);
    postChange(name);
}

void addStream(const Name& name, std::uint64_t id, std::function<void(EventType)> deliver) {
    auto& s = state();
    s.streamKeyDownHandlers[name.rawValue()][id] = deliver;
    s.streamKeyUpHandlers[name.rawValue()][id] = std::move(deliver);
    if (const auto shortcut = getShortcut(name))
        registerShortcut(*shortcut);
}

void removeStream(const Name& name, std::uint64_t id) {
    auto& s = state();
    if (const auto it = s.streamKeyDownHandlers.find(name.rawValue()); it != s.streamKeyDownHandlers.end())
        it->second.erase(id);
    if (const auto it = s.streamKeyUpHandlers.find(name.rawValue()); it != s.streamKeyUpHandlers.end())
        it->second.erase(id);
    if (const auto shortcut = getShortcut(name); shortcut && !neededByAnotherName(*shortcut, std::nullopt))
        unregisterShortcut(*shortcut);
}

void installMenuTrackingObservers() {
    auto& s = state();
    if (s.observersInstalled)
        return;
    s.observersInstalled = true;
    // In a Qt application, the bridge reports the application's menus.
    QtEventBridge::ensureInstalled();
    auto& center = platform::NotificationCenter::defaultCenter();
    s.menuBeginObserver = center.addObserver(std::string(kMenuDidBeginTracking),
                                             [](const platform::Notification&) { setMenuOpen(true); });
    s.menuEndObserver = center.addObserver(std::string(kMenuDidEndTracking),
                                           [](const platform::Notification&) { setMenuOpen(false); });
}

void dispatch(EventType type, const Shortcut& shortcut) {
    auto& s = state();
    if (s.isPaused)
        return;
    // Choose the actions before running any, so an action that changes the
    // tables (removing every handler, say) does not change this press.
    const auto& handlers = type == EventType::keyDown ? s.keyDownHandlers : s.keyUpHandlers;
    std::vector<Action> actions;
    for (const auto& [rawValue, list] : handlers)
        if (storedShortcut(rawValue) == shortcut)
            actions.insert(actions.end(), list.begin(), list.end());
    for (const auto& action : actions)
        action();

    const auto& streams = type == EventType::keyDown ? s.streamKeyDownHandlers : s.streamKeyUpHandlers;
    std::vector<Deliver> deliveries;
    for (const auto& [rawValue, byId] : streams)
        if (!byId.empty() && storedShortcut(rawValue) == shortcut)
            for (const auto& [id, deliver] : byId)
                deliveries.push_back(deliver);
    for (const auto& deliver : deliveries)
        deliver(type);
}

}  // namespace detail

}  // namespace GlobalShortcuts
