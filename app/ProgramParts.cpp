#include "app/ProgramParts.h"

#include <cstdlib>
#include <utility>

#include "Telemetry/TelemetryConfig.h"
#include "Telemetry/TelemetrySDK.h"
#include "app/PanelViewFactory.h"
#include "core/Analytics.h"
#include "core/EndpointOverrides.h"
#include "desktop/FloatingPanel.h"
#include "desktop/FloatingWindowManager.h"
#include "desktop/SystemTextReplacerPlatform.h"
#include "platform/ApplicationActivationEvents.h"
#include "platform/Error.h"
#include "platform/HttpTransportModule.h"
#include "platform/Logger.h"
#include "platform/SpeechModule.h"
#include "platform/qt/QtOwnActivation.h"
#include "platform/qt/QtPasteboard.h"
#include "platform/qt/QtSettingsLink.h"
#include "platform/x11/X11AccessibilityTrust.h"
#include "platform/x11/X11ActiveWindowWatcher.h"
#include "windows/HelpManager.h"
#include "windows/SettingsWindowController.h"

namespace {

const platform::Logger& log() {
    static const platform::Logger logger("Quillary", "app");
    return logger;
}

}  // namespace

// The network library and its TLS stack load only at the first request
// (platform/HttpTransportModule.h).
ProgramParts::ProgramParts(std::shared_ptr<platform::UserDefaults> defaults)
    : defaults_(std::move(defaults)),
      http_(platform::HttpTransportModule::deferredClient()),
      settingsLink_(std::make_shared<platform::QtSettingsLink>()) {}

// Made with the panel's view factory at start-up, it starts no thread before
// the first provider call.
platform::Executor& ProgramParts::executor() {
    if (!executor_) executor_ = std::make_shared<platform::Executor>(http_);
    return *executor_;
}

std::unique_ptr<core::Settings> ProgramParts::makeSettings() {
    return std::make_unique<core::Settings>(defaults_, core::Analytics::shared());
}

void ProgramParts::setUpAnalytics() {
    telemetry::TelemetrySDK::install(
        std::make_shared<telemetry::TelemetrySDK>(telemetry::TelemetrySDK::Dependencies{http_, platform::Clock::system(), {}}));
    core::Analytics::shared().setSink(telemetry::TelemetrySDK::sharedPointer());
    telemetry::TelemetrySDK::shared().setup(desktop::QuillaryApp::analyticsConfig(
        std::getenv("QUILLARY_TELEMETRY_URL"), std::getenv("QUILLARY_TELEMETRY_KEY")));
}

ProgramParts::~ProgramParts() = default;

std::unique_ptr<desktop::AccessibilityManager> ProgramParts::makeAccessibilityManager() {
    // "An application was activated": the window manager's active window,
    // and the program's own windows taking the focus.
    const auto activations = std::make_shared<platform::ApplicationActivationEvents>();
    activeWindowWatcher_ = std::make_unique<platform::X11ActiveWindowWatcher>(platform::MainLoop::main(), activations);
    ownActivation_ = std::make_unique<platform::QtOwnActivation>(activations);
    desktop::AccessibilityManager::Dependencies dependencies;
    dependencies.trust = std::make_shared<platform::X11AccessibilityTrust>();
    dependencies.activations = activations;
    dependencies.settingsLink = settingsLink_;
    dependencies.defaults = defaults_;
    dependencies.analytics = telemetry::TelemetrySDK::sharedPointer();
    dependencies.loop = platform::MainLoop::main();
    return std::make_unique<desktop::AccessibilityManager>(std::move(dependencies));
}

// The desktop platform this design comes from hides the Dock icon here. An
// X11 program without a main window shows no taskbar entry to begin with.
void ProgramParts::setAccessoryPolicy() { log().debug("activation policy: accessory (no main window, no taskbar entry)"); }

std::unique_ptr<desktop::HotkeyManager> ProgramParts::makeHotkeyManager(core::Settings& settings,
                                                                        desktop::AccessibilityManager& accessibility) {
    // One set of desktop services: the capture's clipboard is also the one
    // the panel's transcript copies to.
    desktop::HotkeyManager::Dependencies dependencies;
    std::shared_ptr<platform::Pasteboard> pasteboard;
    try {
        dependencies.capture = desktop::makeSystemTextReplacerPlatform();
        pasteboard = dependencies.capture->pasteboard;
    } catch (const platform::Error& error) {
        // The panel still opens; it just has no selection to work on.
        log().error(std::string("No selection capture: ") + platform::outsideText(error.what()));
        pasteboard = std::make_shared<platform::QtPasteboard>(nullptr);
    }
    dependencies.loop = platform::MainLoop::main();
    desktop::FloatingWindowManager::Environment panels;
    panels.loop = dependencies.loop;
    panels.windowSystem = desktop::FloatingPanel::defaultWindowSystem();
    dependencies.windowManager = std::make_unique<desktop::FloatingWindowManager>(settings, std::move(panels));
    auto manager = std::make_unique<desktop::HotkeyManager>(accessibility, std::move(dependencies));
    executor();  // the panel's provider calls run on the program's workers
    manager->windowManager().setViewFactory(makePanelViewFactory(
        manager->windowManager(),
        PanelServices{executor_, pasteboard, platform::MainLoop::main(), defaults_,
                      telemetry::TelemetrySDK::sharedPointer(), settingsLink_,
                      core::endpointsFromEnvironment(std::getenv)}));
    return manager;
}

std::unique_ptr<core::HistoryService> ProgramParts::makeHistoryService() {
    // The constructor loads the stored list once.
    return std::make_unique<core::HistoryService>(defaults_);
}

std::unique_ptr<desktop::QuillaryApp::HelpWindow> ProgramParts::makeHelpManager() {
    return std::make_unique<windows::HelpManager>(telemetry::TelemetrySDK::sharedPointer());
}

std::unique_ptr<desktop::QuillaryApp::SettingsWindow> ProgramParts::makeSettingsWindow(core::Settings& settings) {
    return std::make_unique<windows::SettingsWindowController>(settings, defaults_);
}

void ProgramParts::stopWorkers() {
    if (executor_) executor_->shutdown();
}

// Joins the model's thread now, in the program's own quit, rather than in a
// static destructor after main, when Qt and the loggers may be gone.
void ProgramParts::releaseSpeechModel() { platform::SpeechModule::releaseSharedRecognizer(); }

// A store that cannot write keeps the file it had: nothing stored is lost,
// only the changes of this session, and the log says so.
void ProgramParts::flushSettings() {
    if (!defaults_->flush()) log().error("Quillary could not write its settings; the last saved ones are kept");
}
