#include <QApplication>

#include <X11/Xlib.h>
#include <pthread.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>

#include "GlobalShortcuts/CarbonGlobalShortcuts.h"
#include "GlobalShortcuts/KeyCharacters.h"
#include "GlobalShortcuts/QtEventBridge.h"
#include "app/ProgramEnd.h"
#include "app/ProgramParts.h"
#include "desktop/QuillaryApp.h"
#include "desktop/QuitSignals.h"
#include "desktop/SingleInstanceLock.h"
#include "desktop/TrayMenu.h"
#include "gemini/Logging.h"
#include "platform/Logger.h"
#include "platform/ProgramModule.h"
#include "platform/linux/JsonFileUserDefaults.h"
#include "platform/qt/QtMainLoop.h"
#include "platform/x11/X11HotKeyBackend.h"
#include "platform/x11/XkbKeyboardLayout.h"
#include "ui/Style.h"
#include "windows/LaunchAtLogin.h"

namespace {

// Qt ends the process with an abort when its X11 platform finds no display;
// asking first gives the user a sentence and exit code 1 instead.
bool canOpenDisplay() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return false;
    XCloseDisplay(display);
    return true;
}

int run(int argc, char** argv) {
    // SIGTERM, SIGINT or SIGHUP during start-up waits, instead of killing
    // the process halfway, until the main loop can quit cleanly; threads
    // started meanwhile keep them blocked, so they reach the main thread.
    sigset_t quitSet;
    sigemptyset(&quitSet);
    sigaddset(&quitSet, SIGTERM);
    sigaddset(&quitSet, SIGINT);
    sigaddset(&quitSet, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &quitSet, nullptr);
    // A write to a closed pipe (a reader of our output that went away) fails
    // with EPIPE like any other write error, instead of ending the program.
    std::signal(SIGPIPE, SIG_IGN);

    // The modules that load at first use are this build's, even if an
    // upgrade replaces their files while the program runs.
    platform::ProgramModule::openAll();

    gemini::Logging::setLaunchArguments(argc, argv);
    // The login item starts the program with its marker argument.
    windows::LaunchAtLogin::setLaunchArguments(argc, argv);

    const desktop::SingleInstanceLock lock(desktop::SingleInstanceLock::defaultPath());
    if (lock.state() == desktop::SingleInstanceLock::State::HeldByOther) {
        std::puts(desktop::SingleInstanceLock::kAlreadyRunning);
        return 0;
    }
    if (lock.state() == desktop::SingleInstanceLock::State::Unavailable)
        platform::Logger("Quillary", "app").error("running without the single-instance lock: " + lock.problem());

    // Windows and key grabs are X11 ones, also inside a Wayland session.
    qputenv("QT_QPA_PLATFORM", "xcb");
    if (!canOpenDisplay()) {
        const char* display = std::getenv("DISPLAY");
        const std::string name = display && *display ? platform::outsideText(display) : "";
        std::fprintf(stderr, "Quillary needs an X11 display and cannot open %s%s%s\n", name.empty() ? "" : "display \"",
                     name.empty() ? "one: DISPLAY is not set" : name.c_str(), name.empty() ? "" : "\"");
        return 1;
    }

    QApplication application(argc, argv);
    const ProgramEnd end;
    QApplication::setApplicationName(QStringLiteral("Quillary"));
    QApplication::setDesktopFileName(QStringLiteral("org.quillary.Quillary"));
    // The program lives in the tray: closing a window never ends it.
    QApplication::setQuitOnLastWindowClosed(false);
    ui::Style::apply(application);

    const auto loop = std::make_shared<platform::QtMainLoop>();
    platform::MainLoop::setMain(loop);
    // From here a quit signal reaches the loop, which acts on it once it runs.
    const desktop::QuitSignals quitSignals(loop, [](int) { desktop::QuillaryApp::quitEventLoop(); });
    pthread_sigmask(SIG_UNBLOCK, &quitSet, nullptr);
    CarbonGlobalShortcuts::setBackend(std::make_shared<platform::X11HotKeyBackend>(loop));
    GlobalShortcuts::followKeyboardLayout(&platform::XkbKeyboardLayout::current);
    GlobalShortcuts::QtEventBridge::ensureInstalled();

    platform::UserDefaults::setStandard(
        std::make_shared<platform::JsonFileUserDefaults>(platform::JsonFileUserDefaults::defaultPath()));
    ProgramParts parts(platform::UserDefaults::standard());
    desktop::QuillaryApp quillary(parts, &desktop::QuillaryApp::quitEventLoop);
    quillary.installState();
    desktop::TrayMenu tray(quillary.menu());
    tray.show();

    const int status = QApplication::exec();
    quillary.shutDown();
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return ProgramEnd::checked(run(argc, argv));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "Quillary could not start: %s\n", platform::outsideText(error.what()).c_str());
        return 1;
    }
}
