#include "GlobalShortcuts/ModifierFlags.h"

#include <array>
#include <utility>

#include "platform/HotKeyBackend.h"

namespace GlobalShortcuts::ModifierFlags {

namespace {

constexpr std::array<std::pair<std::int64_t, std::int64_t>, 5> kCocoaToCarbon{{
    {control, platform::carbon_modifier::control},
    {option, platform::carbon_modifier::option},
    {shift, platform::carbon_modifier::shift},
    {command, platform::carbon_modifier::command},
    {function, platform::carbon_modifier::function},
}};

}  // namespace

std::int64_t toCarbon(std::int64_t cocoaFlags) {
    std::int64_t result = 0;
    for (const auto& [cocoa, carbon] : kCocoaToCarbon)
        if (cocoaFlags & cocoa)
            result |= carbon;
    return result;
}

std::int64_t fromCarbon(std::int64_t carbonModifiers) {
    std::int64_t result = 0;
    for (const auto& [cocoa, carbon] : kCocoaToCarbon)
        if (carbonModifiers & carbon)
            result |= cocoa;
    return result;
}

std::string symbols(std::int64_t cocoaFlags) {
    std::string result;
    if (cocoaFlags & control)
        result += "\u2303";
    if (cocoaFlags & option)
        result += "\u2325";
    if (cocoaFlags & shift)
        result += "\u21E7";
    if (cocoaFlags & command)
        result += "\u2318";
    if (cocoaFlags & function)
        result += "\U0001F310\uFE0E";  // globe, text style
    return result;
}

}  // namespace GlobalShortcuts::ModifierFlags
