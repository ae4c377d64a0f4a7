#pragma once

#include <cstdint>
#include <string>

namespace GlobalShortcuts {

// Modifier flags as key events carry them (the Cocoa encoding); shortcuts
// store the Carbon encoding (platform::carbon_modifier). Command is Super and
// Option is Alt on Linux.
namespace ModifierFlags {
inline constexpr std::int64_t capsLock = 0x10000;
inline constexpr std::int64_t shift = 0x20000;
inline constexpr std::int64_t control = 0x40000;
inline constexpr std::int64_t option = 0x80000;
inline constexpr std::int64_t command = 0x100000;
inline constexpr std::int64_t numericPad = 0x200000;
inline constexpr std::int64_t help = 0x400000;
inline constexpr std::int64_t function = 0x800000;

// Control, option, shift, command and function convert between the two
// encodings; every other bit is dropped in both directions.
std::int64_t toCarbon(std::int64_t cocoaFlags);
std::int64_t fromCarbon(std::int64_t carbonModifiers);

// "⌃⌥⇧⌘" and the globe for function, in that fixed order, each only when set.
std::string symbols(std::int64_t cocoaFlags);
}  // namespace ModifierFlags

}  // namespace GlobalShortcuts
