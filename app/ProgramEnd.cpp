#include "app/ProgramEnd.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "GlobalShortcuts/CarbonGlobalShortcuts.h"
#include "GlobalShortcuts/GlobalShortcuts.h"
#include "GlobalShortcuts/KeyCharacters.h"
#include "Telemetry/TelemetrySDK.h"
#include "core/Analytics.h"
#include "desktop/TextReplacer.h"
#include "platform/LibraryDefaults.h"
#include "platform/MainLoop.h"
#include "platform/Threads.h"
#include "platform/UserDefaults.h"
#include "platform/x11/X11Connection.h"

// The reverse of their making: the capture's X connections (the clipboard
// was given back at quit), the hot keys and their connection, the upload
// worker, the settings writer (flushed at quit), and last the loop that the
// others posted to.
ProgramEnd::~ProgramEnd() {
    desktop::TextReplacer::uninstall();
    GlobalShortcuts::removeAllHandlers();
    GlobalShortcuts::followKeyboardLayout(nullptr);
    CarbonGlobalShortcuts::shutDown();
    core::Analytics::shared().setSink(nullptr);
    telemetry::TelemetrySDK::install(nullptr);
    platform::UserDefaults::setStandard(nullptr);
    platform::MainLoop::setMain(nullptr);
}

int ProgramEnd::checked(int status) {
    const char* check = std::getenv("QUILLARY_CHECK_END");
    if (!check || !*check) return status;
    const std::size_t threads = platform::Threads::running();
    const std::size_t connections = platform::X11Connection::openCount();
    // A library default made here means a service app/ forgot to install.
    std::string defaults;
    for (const auto& name : platform::LibraryDefaults::made()) defaults += (defaults.empty() ? "" : ", ") + name;
    std::fprintf(stderr,
                 "Quillary ended with %zu threads and %zu X connections of its own left; library defaults made: %s\n",
                 threads, connections, defaults.empty() ? "none" : defaults.c_str());
    return status == 0 && (threads > 0 || connections > 0 || !defaults.empty()) ? 70 : status;
}
