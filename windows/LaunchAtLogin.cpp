#include "windows/LaunchAtLogin.h"

#include <exception>
#include <string>
#include <string_view>

#include "platform/Logger.h"
#include "platform/linux/XdgAutostartLoginItemService.h"

namespace windows {
namespace {

using platform::LoginItemStatus;

std::shared_ptr<platform::LoginItemService>& installed() {
    static std::shared_ptr<platform::LoginItemService> service;
    return service;
}

bool& launchedAtLogin() {
    static bool launched = false;
    return launched;
}

void logFailure(const char* action, const std::exception& error) {
    static const platform::Logger logger("com.quillary.LaunchAtLogin", "main");
    logger.error(std::string("Failed to ") + action + " launch at login: " + platform::outsideText(error.what()));
}

}  // namespace

std::shared_ptr<platform::LoginItemService> LaunchAtLogin::service() {
    auto& service = installed();
    if (!service) service = std::make_shared<platform::XdgAutostartLoginItemService>();
    return service;
}

void LaunchAtLogin::setService(std::shared_ptr<platform::LoginItemService> service) {
    installed() = std::move(service);
}

bool LaunchAtLogin::isEnabled() { return service()->status() == LoginItemStatus::Enabled; }

void LaunchAtLogin::setEnabled(bool enabled) {
    Observable::shared().willChange_.notify();
    const auto registry = service();
    if (enabled) {
        // Switching on while on registers again. The registry replaces its
        // entry in one step, which is what unregistering and registering comes
        // to, without the moment (or the failed write) that leaves no entry.
        try {
            registry->register_();
        } catch (const std::exception& error) {
            logFailure("enable", error);
        }
    } else {
        try {
            registry->unregister();
        } catch (const std::exception& error) {
            logFailure("disable", error);
        }
    }
}

bool LaunchAtLogin::wasLaunchedAtLogin() { return launchedAtLogin(); }

void LaunchAtLogin::setLaunchArguments(int argc, const char* const* argv) {
    bool found = false;
    for (int i = 1; i < argc && argv && argv[i]; ++i)
        found = found || std::string_view(argv[i]) == platform::LoginItemService::kLaunchedAtLoginArgument;
    launchedAtLogin() = found;
}

LaunchAtLogin::Observable& LaunchAtLogin::Observable::shared() {
    // Never destroyed: views may unsubscribe during the exit of the process.
    static Observable* observable = new Observable;
    return *observable;
}

}  // namespace windows
