#pragma once

// A real quillary started as a child process with its own home folder, and
// looks at the X server to see what it shows (its tray icon, its windows).
// Used by the end-to-end tests and the start-up benchmarks.

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace apptest {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Polls `done` every `interval` until it holds or `limit` passes. The waits
// here are for a real program to start or end, not for a time-out of the
// code under test.
inline bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 10s,
                      std::chrono::milliseconds interval = 20ms) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(interval);
    }
    return true;
}

inline std::string readFile(const fs::path& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// How a run of the program finds SIGHUP: as a terminal's shell starts it, or
// as `nohup` does.
enum class HangUp { Default, Ignored };

// One run of the real quillary with its own home folder, standard output and
// standard error in files.
class Program {
public:
    // Starts `executable` (the program by default), with its standard output
    // on `standardOutput` when one is given.
    Program(const fs::path& home, std::vector<std::string> environment = {},
            const char* executable = QUILLARY_EXECUTABLE, int standardOutput = -1, HangUp hangUp = HangUp::Default)
        : home_(home) {
        out_ = home / ("out-" + std::to_string(counter++));
        // A private home; no session bus, so the tray is the X11 one the
        // window manager offers.
        environment.push_back("HOME=" + home.string());
        environment.push_back("XDG_CONFIG_HOME=" + (home / "config").string());
        environment.push_back("XDG_DATA_HOME=" + (home / "data").string());
        environment.push_back("XDG_CACHE_HOME=" + (home / "cache").string());
        const auto replaced = [&](const std::string& entry) {
            const std::string name = entry.substr(0, entry.find('=') + 1);
            if (name == "DBUS_SESSION_BUS_ADDRESS=" || name.rfind("QUILLARY_", 0) == 0) return true;
            for (const auto& own : environment)
                if (own.rfind(name, 0) == 0) return true;
            return false;
        };
        std::vector<std::string> variables;
        for (char** e = environ; *e; ++e)
            if (!replaced(*e)) variables.emplace_back(*e);
        for (auto& own : environment) variables.push_back(std::move(own));
        std::vector<char*> envp;
        for (auto& v : variables) envp.push_back(v.data());
        envp.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        const std::string stdoutPath = out_.string() + ".stdout";
        const std::string stderrPath = out_.string() + ".stderr";
        if (standardOutput >= 0)
            posix_spawn_file_actions_adddup2(&actions, standardOutput, 1);
        else
            posix_spawn_file_actions_addopen(&actions, 1, stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, 2, stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        // The program keeps SIGHUP ignored when it starts with it ignored, and
        // a child inherits that from whoever ran the tests (nohup, a CI
        // runner): the disposition is the test's choice, never the runner's.
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        sigset_t hangUpSet;
        sigemptyset(&hangUpSet);
        sigaddset(&hangUpSet, SIGHUP);
        if (hangUp == HangUp::Default) {
            posix_spawnattr_setsigdefault(&attributes, &hangUpSet);
            posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
        }
        // A spawn can only reset a signal to its default; an ignored one is
        // inherited, so it is ignored here for the moment of the spawn.
        struct sigaction ignore {}, previous {};
        ignore.sa_handler = SIG_IGN;
        if (hangUp == HangUp::Ignored) sigaction(SIGHUP, &ignore, &previous);
        char* argv[] = {const_cast<char*>(executable), nullptr};
        if (posix_spawn(&pid_, executable, &actions, &attributes, argv, envp.data()) != 0) pid_ = -1;
        if (hangUp == HangUp::Ignored) sigaction(SIGHUP, &previous, nullptr);
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Program() {
        if (running()) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }

    pid_t pid() const { return pid_; }
    bool running() {
        if (status_ || pid_ <= 0) return false;
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            status_ = status;
            return false;
        }
        return true;
    }
    // The exit code once the program ended by itself (none while it runs, or
    // when a signal killed it).
    std::optional<int> exitCode(std::chrono::milliseconds limit = 10s) {
        waitUntil([&] { return !running(); }, limit);
        if (!status_ || !WIFEXITED(*status_)) return std::nullopt;
        return WEXITSTATUS(*status_);
    }
    bool killedBy(int signal) { return status_ && WIFSIGNALED(*status_) && WTERMSIG(*status_) == signal; }
    // How it ended, for failure messages.
    std::string ending() const {
        if (!status_) return "still running";
        if (WIFSIGNALED(*status_)) return "killed by signal " + std::to_string(WTERMSIG(*status_));
        return "exit " + std::to_string(WEXITSTATUS(*status_));
    }
    std::string standardOutput() const { return readFile(out_.string() + ".stdout"); }
    std::string standardError() const { return readFile(out_.string() + ".stderr"); }

private:
    static inline int counter = 0;
    fs::path home_;
    fs::path out_;
    pid_t pid_ = -1;
    std::optional<int> status_;
};

// What a program shows on the X server of $DISPLAY.
class X11Probe {
public:
    X11Probe() : display_(XOpenDisplay(nullptr)) {}
    ~X11Probe() {
        if (display_) XCloseDisplay(display_);
    }
    X11Probe(const X11Probe&) = delete;
    X11Probe& operator=(const X11Probe&) = delete;

    Display* get() const { return display_; }

    unsigned long property(Window window, const char* name) {
        Atom type;
        int format;
        unsigned long count, after;
        unsigned char* data = nullptr;
        unsigned long value = 0;
        if (XGetWindowProperty(display_, window, XInternAtom(display_, name, False), 0, 1, False, AnyPropertyType,
                               &type, &format, &count, &after, &data) == Success &&
            data && count == 1 && format == 32)
            value = *reinterpret_cast<unsigned long*>(data);
        if (data) XFree(data);
        return value;
    }

    // The windows below `root` whose _NET_WM_PID is `pid`.
    void windowsOf(Window root, pid_t pid, std::vector<Window>& found) {
        Window rootReturn, parent;
        Window* children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(display_, root, &rootReturn, &parent, &children, &count)) return;
        for (unsigned i = 0; i < count; ++i) {
            if (property(children[i], "_NET_WM_PID") == static_cast<unsigned long>(pid)) found.push_back(children[i]);
            windowsOf(children[i], pid, found);
        }
        if (children) XFree(children);
    }

    // Whether the program's tray icon sits in the window manager's tray.
    bool trayIconEmbedded(pid_t pid) {
        XSync(display_, False);
        const Window tray = XGetSelectionOwner(display_, XInternAtom(display_, "_NET_SYSTEM_TRAY_S0", False));
        if (tray == None) return false;
        std::vector<Window> found;
        windowsOf(tray, pid, found);
        return !found.empty();
    }

    // Titles of the program's mapped top-level windows.
    std::vector<std::string> visibleWindowTitles(pid_t pid) {
        XSync(display_, False);
        std::vector<Window> found;
        windowsOf(DefaultRootWindow(display_), pid, found);
        std::vector<std::string> titles;
        for (Window window : found) {
            XWindowAttributes attributes;
            if (!XGetWindowAttributes(display_, window, &attributes) || attributes.map_state != IsViewable) continue;
            char* name = nullptr;
            if (XFetchName(display_, window, &name) && name) {
                titles.emplace_back(name);
                XFree(name);
            }
        }
        return titles;
    }

    // The width of the program's widest mapped window, 0 without one.
    int widestVisibleWindow(pid_t pid) {
        XSync(display_, False);
        std::vector<Window> found;
        windowsOf(DefaultRootWindow(display_), pid, found);
        int widest = 0;
        for (Window window : found) {
            XWindowAttributes attributes;
            if (XGetWindowAttributes(display_, window, &attributes) && attributes.map_state == IsViewable)
                widest = std::max(widest, attributes.width);
        }
        return widest;
    }

    bool hasWindowTitled(pid_t pid, const std::string& title) {
        for (const auto& t : visibleWindowTitles(pid))
            if (t == title) return true;
        return false;
    }

    // Whether another client holds Super+Shift+Space, the default of the
    // main shortcut: our own grab of it is refused.
    bool mainShortcutGrabbedElsewhere() {
        const int keycode = XKeysymToKeycode(display_, XK_space);
        const Window root = DefaultRootWindow(display_);
        refused = false;
        XSync(display_, False);
        const auto previous = XSetErrorHandler([](Display*, XErrorEvent* error) {
            if (error->error_code == BadAccess) refused = true;
            return 0;
        });
        XGrabKey(display_, keycode, Mod4Mask | ShiftMask, root, False, GrabModeAsync, GrabModeAsync);
        XSync(display_, False);
        if (!refused) XUngrabKey(display_, keycode, Mod4Mask | ShiftMask, root);
        XSync(display_, False);
        XSetErrorHandler(previous);
        return refused;
    }

    // Whether another client could grab the keyboard (or the pointer) right
    // now; the grab is let go of at once.
    bool canGrab(bool keyboard) {
        const Window root = DefaultRootWindow(display_);
        const bool granted =
            keyboard ? XGrabKeyboard(display_, root, False, GrabModeAsync, GrabModeAsync, CurrentTime) == GrabSuccess
                     : XGrabPointer(display_, root, False, ButtonPressMask, GrabModeAsync, GrabModeAsync, None, None,
                                    CurrentTime) == GrabSuccess;
        if (granted && keyboard) XUngrabKeyboard(display_, CurrentTime);
        if (granted && !keyboard) XUngrabPointer(display_, CurrentTime);
        XSync(display_, False);
        return granted;
    }

private:
    static inline bool refused = false;
    Display* display_;
};

}  // namespace apptest
