#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// An X11 top-level window (0: none).
using WindowId = std::uint64_t;

// The application behind a window of the desktop. On X11 the name is the
// class part of WM_CLASS and the identifier its instance part.
struct RunningApplication {
    int processIdentifier = 0;  // 0 when the window does not say
    std::optional<std::string> localizedName;
    std::optional<std::string> bundleIdentifier;
    WindowId window = 0;
    // Whether the window was fullscreen when it was read.
    bool fullscreen = false;
    friend bool operator==(const RunningApplication&, const RunningApplication&) = default;
};

// The desktop's applications as the selection capture sees them: which one
// the user works in, and bringing it back to the front.
class Workspace {
public:
    virtual ~Workspace() = default;

    // The application of the window that has the keyboard; none when no
    // window has it.
    virtual std::optional<RunningApplication> frontmostApplication() = 0;

    // Brings the application's window to the front and gives it the
    // keyboard; false when that window no longer exists.
    virtual bool activate(const RunningApplication& app) = 0;

    // Whether the application's window still exists.
    virtual bool isAlive(const RunningApplication& app) = 0;

    // Whether the keyboard's input goes to the application's window (or one
    // of its children) right now.
    virtual bool hasInputFocus(const RunningApplication& app) = 0;

    // Whether the application's process holds the master side of a
    // pseudo-terminal, as every terminal emulator does whatever it is
    // called; false when that cannot be told (no process id, a process of
    // another user or one that may not be inspected).
    virtual bool holdsPseudoTerminal(const RunningApplication& app) = 0;

    // The identifier of this program's own process, to know its windows.
    virtual int currentProcessIdentifier() const = 0;
};

}  // namespace platform
