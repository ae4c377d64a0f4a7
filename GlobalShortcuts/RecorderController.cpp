#include "GlobalShortcuts/RecorderController.h"

#include <algorithm>

#include <fmt/format.h>
#include <utf8proc.h>

#include "GlobalShortcuts/GlobalShortcuts.h"
#include "GlobalShortcuts/Key.h"
#include "GlobalShortcuts/Localization.h"
#include "GlobalShortcuts/ModifierFlags.h"
#include "GlobalShortcuts/SpecialKey.h"

namespace GlobalShortcuts {

namespace {

namespace Flags = ModifierFlags;

constexpr EventTypeMask kMonitoredEvents =
    eventMask(Event::keyDown) | eventMask(Event::leftMouseUp) | eventMask(Event::rightMouseUp);

constexpr std::int64_t kDeviceIndependentFlags = 0xFFFF0000;
// Caps Lock, Control, Option, Command and Function: the modifiers that count
// when deciding whether Option is the only one.
constexpr std::int64_t kOptionOnlyTestFlags = 0x9D0000;

// F12 alone is reserved on many systems for a dashboard or console, yet is
// the key people most often pick on its own: it is never refused as reserved.
const Shortcut kF12{Key::f12.rawValue, 0};

// Whether the key types one of the function-key characters (F1 to F35).
bool isFunctionKey(long long keyCode) {
    const auto special = specialKey(keyCode);
    if (!special)
        return false;
    const auto equivalent = keyEquivalent(*special);
    if (!equivalent)
        return false;
    utf8proc_int32_t codePoint = 0;
    const auto length = utf8proc_iterate(reinterpret_cast<const utf8proc_uint8_t*>(equivalent->data()),
                                         static_cast<utf8proc_ssize_t>(equivalent->size()), &codePoint);
    return length == static_cast<utf8proc_ssize_t>(equivalent->size()) &&
           functionKeys().contains(static_cast<char32_t>(codePoint));
}

std::string storedText(const Name& name) {
    const auto stored = getShortcut(name);
    return stored ? stored->description() : std::string();
}

}  // namespace

RecorderController::RecorderController(RecorderView& view, Name name, OnChange onChange, RecorderSystem system)
    : view_(view),
      name_(std::move(name)),
      onChange_(std::move(onChange)),
      system_(std::move(system)),
      text_(storedText(name_)),
      placeholder_(localizedString("record_shortcut")),
      showsClearButton_(!text_.empty()) {
    nameChangeObserver_ = platform::NotificationCenter::defaultCenter().addObserver(
        std::string(kShortcutByNameDidChange), [this](const platform::Notification& notification) {
            const auto* changed = notification.value<Name>("name");
            if (changed && changed->rawValue() == name_.rawValue())
                showStoredShortcut();
        });
}

RecorderController::~RecorderController() {
    if (!eventMonitor_)
        return;
    eventMonitor_.reset();
    setPaused(false);
    postActiveStatus(false);
}

void RecorderController::setShortcutName(Name name) {
    const bool differs = name.rawValue() != name_.rawValue();
    name_ = std::move(name);
    if (differs)
        showStoredShortcut();
}

void RecorderController::beginRecording() {
    placeholder_ = localizedString("press_shortcut");
    showsClearButton_ = !text_.empty();
    changed();
    setPaused(true);
    postActiveStatus(true);
    eventMonitor_ = std::make_unique<LocalEventMonitor>(
        kMonitoredEvents, [this](const Event& event) { return handleEvent(event); });
    eventMonitor_->start();
}

void RecorderController::endRecording() {
    eventMonitor_.reset();
    placeholder_ = localizedString("record_shortcut");
    showsClearButton_ = !text_.empty();
    changed();
    setPaused(false);
    postActiveStatus(false);
}

void RecorderController::clear() {
    text_.clear();
    textDidChange();
}

std::optional<Event> RecorderController::handleEvent(const Event& event) {
    const std::weak_ptr<const bool> alive = lifetime_;
    const auto modifiers =
        event.modifierFlags & kDeviceIndependentFlags & ~(Flags::capsLock | Flags::numericPad);

    // A click away from the control ends recording and does what it does.
    const bool isMouseUp = event.type == Event::leftMouseUp || event.type == Event::rightMouseUp;
    if (isMouseUp && !view_.isNear(event.locationX, event.locationY, clickSlop)) {
        view_.blur();
        return event;
    }
    // A click on the control (or just beside it) does nothing.
    if (event.type != Event::keyDown && event.type != Event::keyUp)
        return std::nullopt;

    if (modifiers == 0) {
        if (event.keyCode == Key::tab.rawValue) {
            // The view moves focus on the way this Tab would have; delivering
            // the Tab as well would move it a second time.
            view_.focusNext();
            return std::nullopt;
        }
        if (event.keyCode == Key::escape.rawValue) {
            view_.blur();
            return std::nullopt;
        }
        if (event.keyCode == Key::delete_.rawValue || event.keyCode == Key::deleteForward.rawValue) {
            if (showsClearButton_)
                clear();
            return std::nullopt;
        }
    }

    // A key with no modifier but Shift or Fn would fire while typing: only
    // function keys may go without one.
    if ((modifiers & ~(Flags::shift | Flags::function)) == 0 && !isFunctionKey(event.keyCode)) {
        view_.beep();
        return std::nullopt;
    }

    const auto candidate = Shortcut::fromEvent(event);
    if (!candidate) {
        view_.beep();
        return std::nullopt;
    }

    if (const auto item = system_.mainMenuItemUsing(*candidate)) {
        refuse(Alert(fmt::format(fmt::runtime(localizedString("keyboard_shortcut_used_by_menu_item")), item->title)));
        return std::nullopt;
    }

    const bool optionOnly = (candidate->modifiers() & kOptionOnlyTestFlags) == Flags::option;
    if (system_.macOSVersion && system_.macOSVersion->majorVersion == 15 && system_.macOSVersion->minorVersion <= 1 &&
        system_.isSandboxed && optionOnly) {
        refuse(Alert(localizedString("keyboard_shortcut_disallowed")));
        return std::nullopt;
    }

    if (*candidate != kF12) {
        if (system_.isSystemReserved(*candidate)) {
            const auto answer = refuse(Alert(localizedString("keyboard_shortcut_used_by_system"),
                                             localizedString("keyboard_shortcuts_can_be_changed"),
                                             AlertStyle::warning,
                                             {localizedString("ok"), localizedString("force_use_shortcut")}));
            if (!answer || *answer != Alert::secondButtonReturn)
                return std::nullopt;
        }
    }

    text_ = candidate->description();
    showsClearButton_ = true;
    changed();
    setShortcut(*candidate, name_);
    if (onChange_)
        onChange_(*candidate);
    if (!alive.expired())
        view_.blur();
    return std::nullopt;
}

void RecorderController::showStoredShortcut() {
    text_ = storedText(name_);
    showsClearButton_ = !text_.empty();
    changed();
}

void RecorderController::textDidChange() {
    const std::weak_ptr<const bool> alive = lifetime_;
    if (text_.empty()) {
        setShortcut(std::nullopt, name_);
        if (onChange_)
            onChange_(std::nullopt);
        if (alive.expired())
            return;
    }
    showsClearButton_ = !text_.empty();
    changed();
    if (text_.empty())
        view_.focus();
}

void RecorderController::changed() { view_.recorderStateChanged(); }

std::optional<int> RecorderController::refuse(const Alert& alert) {
    const std::weak_ptr<const bool> alive = lifetime_;
    view_.blur();
    const int answer = view_.runAlert(alert);
    if (alive.expired())
        return std::nullopt;
    view_.focus();
    return answer;
}

void RecorderController::postActiveStatus(bool isActive) {
    platform::NotificationCenter::defaultCenter().post(std::string(kRecorderActiveStatusDidChange),
                                                       {{"isActive", isActive}});
}

}  // namespace GlobalShortcuts
