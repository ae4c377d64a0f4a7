#pragma once

// The desktop of an end-to-end run: the real quillary with a fresh home and
// a loopback provider server as its endpoints, the small Qt "other
// application" to select text in, keys pressed with xdotool, and what the
// X server shows. Needs a QGuiApplication (Scenario::qt() makes one) for the
// other program's pipes and the screenshots. Used by the end-to-end tests
// and the benchmarks of the whole program.

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>

#include <nlohmann/json.hpp>

#include <signal.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "OtherApplicationProcess.h"
#include "app/tests/x11/RunningProgram.h"
#include "testsupport/LoopbackServer.h"
#include "testsupport/QtEvents.h"
#include "testsupport/TempHome.h"
#include "testsupport/TestData.h"

namespace apptest {

// A top-level window of the program as the window manager shows it.
struct ShownWindow {
    Window id = 0;
    std::string title;
    int x = 0, y = 0, width = 0, height = 0;
    bool popup = false;  // a menu: placed by the program itself
};

class Scenario {
public:
    // The test program's Qt application, made once (xcb, on $DISPLAY).
    static QGuiApplication& qt() {
        static int argc = 1;
        static char name[] = "quillary-end-to-end";
        static char* argv[] = {name, nullptr};
        static QGuiApplication* app = [] {
            qputenv("QT_QPA_PLATFORM", "xcb");
            return new QGuiApplication(argc, argv);
        }();
        return *app;
    }

    // A provider reply body shipped with the provider tests, byte for byte.
    static std::string replyBody(const std::string& name) {
        return testsupport::readFile(std::filesystem::path(QUILLARY_CORE_TEST_DATA) / name);
    }
    // OpenAI's chat completion carrying `answer`.
    static std::string openAIAnswer(const std::string& answer) {
        auto reply = nlohmann::json::parse(replyBody("openai-chat-200.json"));
        reply["choices"][0]["message"]["content"] = answer;
        return reply.dump();
    }

    Scenario() : home_(testsupport::freshDirectory("home")) {
        qt();
        std::filesystem::create_directories(configFolder());
        settings_ = {{"has_launched_before", true}};
    }
    ~Scenario() { stopProgram(); }
    Scenario(const Scenario&) = delete;
    Scenario& operator=(const Scenario&) = delete;

    testsupport::LoopbackServer& provider() { return provider_; }
    const std::filesystem::path& home() const { return home_; }
    std::filesystem::path configFolder() const { return home_ / "config" / "quillary"; }
    std::filesystem::path settingsFile() const { return configFolder() / "defaults.json"; }
    // The settings written before the program starts ("has_launched_before"
    // already, so no first-launch window takes the focus).
    nlohmann::json& settings() { return settings_; }
    // The stored settings as the program wrote them (null when unreadable).
    nlohmann::json storedSettings() const {
        return nlohmann::json::parse(readFile(settingsFile()), nullptr, false);
    }
    X11Probe& display() { return display_; }
    Program& program() { return *program_; }
    OtherApplicationProcess& other() { return *other_; }
    unsigned long otherWindow() const { return otherWindow_; }

    // Starts quillary with every provider pointed at the loopback server
    // (unless `environment` names another), animations off, and waits until
    // it holds its main shortcut. Starting again after stopProgram() is a
    // restart with the settings the program left.
    bool startProgram(std::vector<std::string> environment = {}) {
        if (!std::filesystem::exists(settingsFile())) std::ofstream(settingsFile()) << settings_.dump();
        const std::string server = provider_.url("");
        for (const std::string name : {"QUILLARY_OPENAI_URL=", "QUILLARY_ANTHROPIC_URL=", "QUILLARY_GEMINI_URL=",
                                       "QUILLARY_OLLAMA_URL="}) {
            const bool given = std::any_of(environment.begin(), environment.end(),
                                           [&](const std::string& entry) { return entry.rfind(name, 0) == 0; });
            if (!given) environment.push_back(name + server);
        }
        environment.push_back("QUILLARY_ANIMATIONS=0");
        // Every scenario's end also checks that nothing was left running and
        // no library default stood in for a service app/ forgot.
        environment.push_back("QUILLARY_CHECK_END=1");
        program_ = std::make_unique<Program>(home_, std::move(environment));
        return waitUntil([&] { return display_.mainShortcutGrabbedElsewhere(); }, std::chrono::seconds(20));
    }

    // Ends the program as a user's session would (SIGTERM, or SIGHUP when
    // its terminal closes); true when it ended by itself with exit code 0.
    bool stopProgram(int signal = SIGTERM) {
        if (!program_ || !program_->running()) return !program_ || program_->exitCode() == 0;
        kill(program_->pid(), signal);
        return program_->exitCode(std::chrono::seconds(10)) == 0;
    }

    // Starts the other program and brings it to the front.
    bool startOtherApp() {
        other_ = std::make_unique<OtherApplicationProcess>(QStringLiteral(QUILLARY_OTHER_APP));
        otherWindow_ = other_->waitReady();
        return otherWindow_ != 0 && activateOther();
    }
    bool activateOther() {
        run("xdotool windowactivate --sync " + std::to_string(otherWindow_));
        return waitUntil([&] { return display_.property(DefaultRootWindow(display_.get()), "_NET_ACTIVE_WINDOW") ==
                                      otherWindow_; });
    }
    // Puts `text` in the other program's line edit and selects all of it as
    // a mouse selection does (it owns PRIMARY then).
    bool selectInOther(const std::string& text) {
        other_->send("set-line " + text);
        other_->send("select-line 0 " + std::to_string(QString::fromStdString(text).size()));
        return !other_->waitFor("selected").empty();
    }
    std::string otherLine() { return other_->dump()["line"]; }
    // The clipboard's data formats as the other program reads them ("format
    // TYPE SIZE MD5"), without what only an owner in another process shows:
    // the X selection's own targets and Qt's alias of an image format.
    std::vector<std::string> clipboard() {
        std::vector<std::string> formats;
        for (auto& line : other_->clipboardFormats()) {
            const auto type = line.substr(7, line.find(' ', 7) - 7);
            if (type != "TARGETS" && type != "MULTIPLE" && type != "TIMESTAMP" && type != "SAVE_TARGETS" &&
                type != "application/x-qt-image")
                formats.push_back(std::move(line));
        }
        return formats;
    }

    // xdotool's key names, e.g. "super+shift+space".
    static bool key(const std::string& keys) { return run("xdotool key " + keys); }
    static bool type(const std::string& text) { return run("xdotool type --delay 15 '" + text + "'"); }
    // Any other xdotool command, e.g. "mousemove 10 10".
    static bool xdotool(const std::string& arguments) { return run("xdotool " + arguments); }

    // The program's mapped windows other than its tray icon.
    std::vector<ShownWindow> windows() {
        std::vector<ShownWindow> shown;
        Display* x = display_.get();
        XSync(x, False);
        std::vector<Window> found;
        display_.windowsOf(DefaultRootWindow(x), program_->pid(), found);
        const Window tray = XGetSelectionOwner(x, XInternAtom(x, "_NET_SYSTEM_TRAY_S0", False));
        std::vector<Window> trayWindows;
        if (tray != None) display_.windowsOf(tray, program_->pid(), trayWindows);
        for (Window window : found) {
            if (std::find(trayWindows.begin(), trayWindows.end(), window) != trayWindows.end()) continue;
            XWindowAttributes attributes;
            if (!XGetWindowAttributes(x, window, &attributes) || attributes.map_state != IsViewable) continue;
            ShownWindow item{window, {}, 0, 0, attributes.width, attributes.height, attributes.override_redirect != 0};
            Window child;
            XTranslateCoordinates(x, window, DefaultRootWindow(x), 0, 0, &item.x, &item.y, &child);
            char* name = nullptr;
            if (XFetchName(x, window, &name) && name) {
                item.title = name;
                XFree(name);
            }
            shown.push_back(item);
        }
        return shown;
    }
    // The floating panels on screen ("Quillary" is the panel's title).
    std::vector<ShownWindow> panels() {
        std::vector<ShownWindow> found;
        for (auto& window : windows())
            if (window.title == "Quillary" && !window.popup) found.push_back(window);
        return found;
    }
    bool panelShown() { return !panels().empty(); }
    std::optional<ShownWindow> windowTitled(const std::string& title) {
        for (auto& window : windows())
            if (window.title == title && !window.popup) return window;
        return std::nullopt;
    }
    // Whether the X server's input focus is `window` or inside it.
    bool hasInputFocus(Window window) {
        Window focus = None;
        int revert = 0;
        XGetInputFocus(display_.get(), &focus, &revert);
        for (int depth = 0; focus != None && focus != PointerRoot && depth < 64; ++depth) {
            if (focus == window) return true;
            Window root = None, parent = None;
            Window* children = nullptr;
            unsigned count = 0;
            if (!XQueryTree(display_.get(), focus, &root, &parent, &children, &count)) return false;
            if (children) XFree(children);
            focus = parent;
        }
        return false;
    }
    bool isActive(const ShownWindow& window) {
        return display_.property(DefaultRootWindow(display_.get()), "_NET_ACTIVE_WINDOW") == window.id;
    }

    // Clicks at (x, y) inside `window`.
    static bool click(Window window, int x, int y) {
        return run("xdotool mousemove --window " + std::to_string(window) + " " + std::to_string(x) + " " +
                   std::to_string(y) + " click 1");
    }
    // Clicks the tray icon, then the row of its menu at `rowY` (rows are 24
    // pixels high: "Preferences..." is the first, at 12); false when the
    // icon or the menu is not there.
    bool clickTrayMenuRow(int rowY) {
        Display* x = display_.get();
        const Window tray = XGetSelectionOwner(x, XInternAtom(x, "_NET_SYSTEM_TRAY_S0", False));
        std::vector<Window> icons;
        if (tray != None) display_.windowsOf(tray, program_->pid(), icons);
        if (icons.empty() || !click(icons.front(), 11, 11)) return false;
        std::optional<ShownWindow> menu;
        waitUntil([&] {
            for (auto& window : windows())
                if (window.popup) menu = window;
            return menu.has_value();
        });
        return menu && click(menu->id, 40, rowY);
    }
    // Whether the window manager's active window is one of the program's.
    bool programActive() {
        const Window active = display_.property(DefaultRootWindow(display_.get()), "_NET_ACTIVE_WINDOW");
        return active != 0 && display_.property(active, "_NET_WM_PID") == static_cast<unsigned long>(program_->pid());
    }
    // The panel is shown and has the keyboard, so typed keys reach its prompt.
    bool waitPanelFocused(std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        return waitUntil([&] { return panelShown() && programActive(); }, limit);
    }
    bool waitPanelGone(std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        return waitUntil([&] { return !panelShown(); }, limit);
    }

    // What the screen shows of `window`, saved as <name>.png in the x11
    // tests' screenshot folder; false when nothing could be saved.
    bool screenshot(const ShownWindow& window, const std::string& name) {
        testsupport::runEventsFor(std::chrono::milliseconds(150));  // the last frame is drawn
        QScreen* screen = QGuiApplication::primaryScreen();
        if (!screen) return false;
        const QPixmap picture = screen->grabWindow(0, window.x, window.y, window.width, window.height);
        std::filesystem::create_directories(QUILLARY_SCREENSHOT_DIR);
        return picture.save(QString::fromStdString(std::string(QUILLARY_SCREENSHOT_DIR) + "/" + name + ".png"));
    }

private:
    static bool run(const std::string& command) { return std::system(command.c_str()) == 0; }

    std::filesystem::path home_;
    nlohmann::json settings_;
    testsupport::LoopbackServer provider_;
    X11Probe display_;
    std::unique_ptr<Program> program_;
    std::unique_ptr<OtherApplicationProcess> other_;
    unsigned long otherWindow_ = 0;
};

}  // namespace apptest
