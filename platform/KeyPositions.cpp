#include "platform/KeyPositions.h"

#include <iterator>

namespace platform {

namespace {

// Carbon virtual key code -> Linux KEY_* code, by position on the keyboard.
constexpr std::pair<int, int> kTable[] = {
    // letters
    {0, 30}, {1, 31}, {2, 32}, {3, 33}, {4, 35}, {5, 34}, {6, 44}, {7, 45}, {8, 46}, {9, 47},
    {11, 48}, {12, 16}, {13, 17}, {14, 18}, {15, 19}, {16, 21}, {17, 20}, {31, 24}, {32, 22},
    {34, 23}, {35, 25}, {37, 38}, {38, 36}, {40, 37}, {45, 49}, {46, 50},
    // digit row
    {18, 2}, {19, 3}, {20, 4}, {21, 5}, {22, 7}, {23, 6}, {25, 10}, {26, 8}, {28, 9}, {29, 11},
    // punctuation
    {24, 13},   // equal
    {27, 12},   // minus
    {30, 27},   // right bracket
    {33, 26},   // left bracket
    {39, 40},   // quote
    {41, 39},   // semicolon
    {42, 43},   // backslash
    {43, 51},   // comma
    {44, 53},   // slash
    {47, 52},   // period
    {50, 41},   // backtick (grave)
    {10, 86},   // ISO section key: the extra key of ISO keyboards (KEY_102ND)
    // editing and whitespace
    {36, 28},   // return
    {48, 15},   // tab
    {49, 57},   // space
    {51, 14},   // delete (backspace)
    {53, 1},    // escape
    {117, 111}, // forward delete
    {114, 110}, // help sits where PC keyboards have Insert
    {115, 102}, // home
    {119, 107}, // end
    {116, 104}, // page up
    {121, 109}, // page down
    {123, 105}, {124, 106}, {125, 108}, {126, 103},  // arrows: left, right, down, up
    // modifier keys
    {55, 125},  // command: left Super
    {54, 126},  // right command: right Super
    {56, 42}, {60, 54},    // shift, right shift
    {58, 56}, {61, 100},   // option, right option: Alt
    {59, 29}, {62, 97},    // control, right control
    {57, 58},   // caps lock
    {63, 464},  // function (KEY_FN: beyond what X11 can carry)
    // media
    {72, 115}, {73, 114}, {74, 113},  // volume up, volume down, mute
    // function keys
    {122, 59}, {120, 60}, {99, 61}, {118, 62}, {96, 63}, {97, 64}, {98, 65}, {100, 66},
    {101, 67}, {109, 68}, {103, 87}, {111, 88}, {105, 183}, {107, 184}, {113, 185},
    {106, 186}, {64, 187}, {79, 188}, {80, 189}, {90, 190},
    // keypad
    {82, 82}, {83, 79}, {84, 80}, {85, 81}, {86, 75}, {87, 76}, {88, 77}, {89, 71}, {91, 72},
    {92, 73},
    {71, 69},   // keypad clear sits where PC keypads have Num Lock
    {65, 83},   // keypad decimal
    {75, 98},   // keypad divide
    {76, 96},   // keypad enter
    {81, 117},  // keypad equals
    {78, 74},   // keypad minus
    {67, 55},   // keypad multiply
    {69, 78},   // keypad plus
    // JIS keys
    {93, 124},  // yen
    {94, 89},   // underscore (ro)
    {95, 95},   // keypad comma
    {102, 123}, // eisu
    {104, 122}, // kana
    {110, 127}, // context menu (compose)
};

}  // namespace

std::optional<int> KeyPositions::linuxFromCarbon(long long carbonKeyCode) {
    for (const auto& [carbon, evdev] : kTable)
        if (carbon == carbonKeyCode)
            return evdev;
    return std::nullopt;
}

std::optional<int> KeyPositions::carbonFromLinux(int linuxKeyCode) {
    for (const auto& [carbon, evdev] : kTable)
        if (evdev == linuxKeyCode)
            return carbon;
    return std::nullopt;
}

std::optional<int> KeyPositions::x11FromCarbon(long long carbonKeyCode) {
    const auto evdev = linuxFromCarbon(carbonKeyCode);
    if (!evdev || *evdev + 8 > 255)
        return std::nullopt;
    return *evdev + 8;
}

std::optional<int> KeyPositions::carbonFromX11(int x11KeyCode) {
    if (x11KeyCode < 8 || x11KeyCode > 255)
        return std::nullopt;
    return carbonFromLinux(x11KeyCode - 8);
}

std::span<const std::pair<int, int>> KeyPositions::table() { return kTable; }

}  // namespace platform
