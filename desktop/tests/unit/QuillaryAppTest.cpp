#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "Telemetry/TelemetryConfig.h"
#include "Telemetry/TelemetrySDK.h"
#include "GlobalShortcuts/CarbonGlobalShortcuts.h"
#include "desktop/FloatingWindowManager.h"
#include "desktop/MenuModel.h"
#include "desktop/QuillaryApp.h"
#include "desktop/SingleInstanceLock.h"
#include "desktop/TextReplacer.h"
#include "platform/fake/FakeHttpClient.h"
#include "platform/fake/InMemoryHotKeyBackend.h"
#include "platform/fake/InMemoryUserDefaults.h"
#include "testsupport/LogCapture.h"
#include "testsupport/TempHome.h"
#include "unit/CaptureFakes.h"
#include "unit/PermissionFakes.h"
#include "unit/ShownFlagWindow.h"

namespace {

using desktop::QuillaryApp;

// Records every call in one journal, and builds objects that record theirs.
using desktop::FloatingWindowManager;
using desktop::PanelWindow;

class RecordingParts final : public QuillaryApp::Parts {
public:
    struct Help final : QuillaryApp::HelpWindow {
        explicit Help(std::vector<std::string>& journal) : journal(journal) {}
        void showHelp() override { journal.push_back("showHelp"); }
        std::vector<std::string>& journal;
    };
    struct SettingsWindow final : QuillaryApp::SettingsWindow {
        explicit SettingsWindow(std::vector<std::string>& journal) : journal(journal) {}
        void showSettings() override { journal.push_back("showSettings"); }
        std::vector<std::string>& journal;
    };

    std::unique_ptr<core::Settings> makeSettings() override {
        journal.push_back("settings");
        auto settings = std::make_unique<core::Settings>(defaults, analytics);
        madeSettings = settings.get();
        return settings;
    }
    void setUpAnalytics() override {
        journal.push_back("analytics");
        telemetry::TelemetryConfig config("project-key", "http://127.0.0.1:9");
        config.captureApplicationLifecycleEvents = true;
        telemetry->setup(config);
        eventsAfterSetUp = telemetry->queuedEventCount();
    }
    std::unique_ptr<desktop::AccessibilityManager> makeAccessibilityManager() override {
        journal.push_back("accessibility");
        // The real manager over fakes, reporting to the telemetry client.
        auto dependencies = permissions.dependencies();
        dependencies.analytics = telemetry;
        auto made = std::make_unique<desktop::AccessibilityManager>(std::move(dependencies));
        madeAccessibility = made.get();
        return made;
    }
    void setAccessoryPolicy() override { journal.push_back("accessory"); }
    std::unique_ptr<desktop::HotkeyManager> makeHotkeyManager(core::Settings& settings,
                                                              desktop::AccessibilityManager& accessibility) override {
        journal.push_back("hotkeys");
        hotkeySettings = &settings;
        hotkeyAccessibility = &accessibility;
        if (!withPanels) return nullptr;  // what it registers is the shortcut manager's own test
        // A real shortcut manager whose panels say when they go.
        FloatingWindowManager::Environment environment;
        environment.makeWindow = [this](std::unique_ptr<QWidget>) -> std::unique_ptr<PanelWindow> {
            auto window = std::make_unique<desktop::testing::ShownFlagWindow>();
            window->onGone = [this] { journal.push_back("panel gone"); };
            return window;
        };
        environment.pointerPosition = [] { return QPoint(10, 10); };
        environment.visibleFrame = [] { return std::optional<QRect>(QRect(0, 0, 1280, 800)); };
        environment.loop = permissions.loop;
        environment.panelClosedWithoutPasteBack = [] {};
        return std::make_unique<desktop::HotkeyManager>(
            accessibility,
            desktop::HotkeyManager::Dependencies{
                permissions.loop, std::make_unique<FloatingWindowManager>(settings, std::move(environment)),
                capture.services()});
    }
    std::unique_ptr<core::HistoryService> makeHistoryService() override {
        journal.push_back("history");
        return std::make_unique<core::HistoryService>(defaults);
    }
    std::unique_ptr<QuillaryApp::HelpWindow> makeHelpManager() override {
        journal.push_back("help");
        return std::make_unique<Help>(journal);
    }
    std::unique_ptr<QuillaryApp::SettingsWindow> makeSettingsWindow(core::Settings& settings) override {
        journal.push_back("settingsWindow");
        settingsWindowSettings = &settings;
        return std::make_unique<SettingsWindow>(journal);
    }
    void stopWorkers() override { journal.push_back("stopWorkers"); }
    void releaseSpeechModel() override { journal.push_back("releaseSpeechModel"); }
    void flushSettings() override { journal.push_back("flushSettings"); }

    std::vector<std::string> journal;
    bool withPanels = false;
    desktop::testing::CaptureFakes capture;
    std::shared_ptr<platform::InMemoryUserDefaults> defaults = std::make_shared<platform::InMemoryUserDefaults>();
    core::Analytics analytics;
    std::shared_ptr<platform::FakeHttpClient> http = std::make_shared<platform::FakeHttpClient>();
    desktop::testing::PermissionFixture permissions;
    std::shared_ptr<telemetry::TelemetrySDK> telemetry = std::make_shared<telemetry::TelemetrySDK>(
        telemetry::TelemetrySDK::Dependencies{http, nullptr, testsupport::freshDirectory("telemetry")});
    std::size_t eventsAfterSetUp = 0;
    core::Settings* madeSettings = nullptr;
    desktop::AccessibilityManager* madeAccessibility = nullptr;
    core::Settings* hotkeySettings = nullptr;
    desktop::AccessibilityManager* hotkeyAccessibility = nullptr;
    core::Settings* settingsWindowSettings = nullptr;
};

TEST(QuillaryApp, StartsUpInOrderWithAnalyticsReadyForTheFirstLaunchEvent) {
    RecordingParts parts;
    QuillaryApp app(parts, [] {});
    EXPECT_EQ(parts.journal, (std::vector<std::string>{"settings", "analytics", "accessibility", "accessory"}));
    // On this first launch the accessibility manager recorded "first_launch";
    // the client was set up by then, so the event is queued for upload.
    EXPECT_TRUE(parts.permissions.defaults->bool_("has_launched_before"));
    EXPECT_EQ(parts.telemetry->queuedEventCount(), parts.eventsAfterSetUp + 1);
    EXPECT_EQ(&app.settings(), parts.madeSettings);
    EXPECT_EQ(app.hotkeyManager(), nullptr);  // lazy: not before the state is installed
}

TEST(QuillaryApp, LazyObjectsAreMadeOnceAndShareTheApplicationsObjects) {
    RecordingParts parts;
    parts.defaults->setData("quillary_history",
                            R"([{"id":"5E0A7C1F-0D6B-4E8A-9F3C-2B1D4A6E8C01","timestamp":757382400,"modelName":"GPT-4o",)"
                            R"("input":"hi","output":"hello","applicationName":"Editor"}])");
    QuillaryApp app(parts, [] {});
    app.installState();
    app.installState();
    const auto made = std::vector<std::string>(parts.journal.begin() + 4, parts.journal.end());
    EXPECT_EQ(made, (std::vector<std::string>{"hotkeys", "help"}));  // the history waits until it is needed
    EXPECT_EQ(parts.hotkeySettings, &app.settings());
    EXPECT_EQ(parts.hotkeyAccessibility, &app.accessibilityManager());
    ASSERT_NE(app.historyService(), nullptr);
    ASSERT_EQ(app.historyService()->entries().size(), 1u);
    EXPECT_EQ(app.historyService()->entries()[0].output, "hello");
    EXPECT_EQ(std::count(parts.journal.begin(), parts.journal.end(), "history"), 1);  // made once
}

TEST(QuillaryApp, MenuRowsCallTheirObjects) {
    RecordingParts parts;
    int quits = 0;
    QuillaryApp app(parts, [&] { ++quits; });
    app.installState();
    const desktop::MenuModel menu = app.menu();
    parts.journal.clear();
    parts.permissions.loop->advance(std::chrono::seconds(1));  // the first-launch window
    ASSERT_EQ(parts.permissions.windows->created, 1);

    for (std::size_t row = 0; row < menu.rows().size(); ++row) menu.activate(row);
    menu.activate(0);  // a second Preferences raises the same window
    EXPECT_EQ(parts.journal, (std::vector<std::string>{"settingsWindow", "showSettings", "showHelp", "showSettings"}));
    parts.permissions.loop->runPending();
    EXPECT_EQ(parts.permissions.windows->calls, (std::vector<std::string>{"show 1", "show 1"}));
    EXPECT_EQ(parts.settingsWindowSettings, &app.settings());
    EXPECT_EQ(quits, 1);
}

TEST(QuillaryApp, QuitCancelsTransfersThenJoinsWorkersThenWritesSettingsOnce) {
    RecordingParts parts;
    QuillaryApp app(parts, [] {});
    parts.journal.clear();
    app.shutDown();
    app.shutDown();
    EXPECT_EQ(parts.journal, (std::vector<std::string>{"stopWorkers", "releaseSpeechModel", "flushSettings"}));
}

// Opens panels through a real shortcut manager, quits, and exits 0 when the
// panels went, then the clipboard a capture had changed came back, before the
// speech model was let go and the settings written.
[[noreturn]] void quitWithPanelsOpen() {
    CarbonGlobalShortcuts::setBackend(std::make_shared<platform::InMemoryHotKeyBackend>());
    RecordingParts parts;
    parts.withPanels = true;
    QuillaryApp app(parts, [] {});
    app.installState();
    auto& windows = app.hotkeyManager()->windowManager();
    windows.showWindow(false, false);
    windows.toggleWindow();  // closed and let go, but the loop has not turned since
    windows.showWindow(false, true);
    parts.capture.workspace->frontmost = platform::RunningApplication{1001, "Gedit", "gedit", 0x400001};
    desktop::TextReplacer::captureSelection();  // its copies changed the clipboard
    parts.capture.pasteboard->onWrite = [&] { parts.journal.push_back("clipboard back"); };
    parts.journal.clear();

    app.shutDown();
    const std::vector<std::string> expected{"stopWorkers",        "panel gone",    "panel gone", "clipboard back",
                                            "releaseSpeechModel", "flushSettings"};
    for (const auto& step : parts.journal) std::fprintf(stderr, "%s; ", step.c_str());
    std::exit(parts.journal == expected && !app.hotkeyManager() ? 0 : 1);
}

TEST(QuillaryApp, QuitLetsThePanelsGoAndGivesTheClipboardBackBeforeTheSpeechModelAndTheSettings) {
    // In a child process: the shortcut names a real shortcut manager makes
    // live for the whole process, and belong to that manager's own tests.
    EXPECT_EXIT(quitWithPanelsOpen(), ::testing::ExitedWithCode(0), "");
}

TEST(QuillaryApp, AnalyticsStayOffUnlessATestPointsThemAtThisMachine) {
    const auto builtIn = QuillaryApp::analyticsConfig(nullptr, nullptr);
    EXPECT_EQ(builtIn.apiKey, "");
    EXPECT_EQ(builtIn.host, telemetry::TelemetryConfig::kDefaultHost);
    EXPECT_TRUE(builtIn.captureApplicationLifecycleEvents);
    EXPECT_FALSE(builtIn.loopbackOnly);

    for (const char* host : {"http://127.0.0.1:8080", "http://localhost:1/ingest", "http://[::1]:99", "http://127.3.2.1"}) {
        const auto config = QuillaryApp::analyticsConfig(host, "key");
        EXPECT_EQ(config.apiKey, "key") << host;
        EXPECT_TRUE(config.loopbackOnly) << host;
        EXPECT_TRUE(config.captureApplicationLifecycleEvents) << host;
    }
    testsupport::LogCapture log;
    for (const char* host : {"https://telemetry.example.com", "http://127.0.0.1.example.com", "http://localhost@evil.example",
                             "http://128.0.0.1", "http://[::2]", "not a url", "http:/evil.example/x://127.0.0.1"}) {
        const auto config = QuillaryApp::analyticsConfig(host, "key");
        EXPECT_EQ(config.apiKey, "") << host;
        EXPECT_EQ(config.host, telemetry::TelemetryConfig::kDefaultHost) << host;
    }
    EXPECT_EQ(log.errors().size(), 7u);
}

TEST(MenuModel, RowsTextsAndShortcuts) {
    const desktop::MenuModel menu({});
    const auto& rows = menu.rows();
    ASSERT_EQ(rows.size(), 6u);
    using Kind = desktop::MenuRow::Kind;
    const std::vector<std::tuple<Kind, std::string, std::string, std::string>> expected{
        {Kind::Item, "Preferences...", "Preferences...", "Ctrl+,"},
        {Kind::Divider, "", "", ""},
        {Kind::Item, "Check Accessibility Permissions", "Check Accessibility Permissions", ""},
        {Kind::Item, "Help & FAQs", "Help && FAQs", "Ctrl+?"},
        {Kind::Divider, "", "", ""},
        {Kind::Item, "Quit Quillary", "Quit Quillary", "Ctrl+Q"},
    };
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].kind, std::get<0>(expected[i])) << i;
        EXPECT_EQ(rows[i].title, std::get<1>(expected[i])) << i;
        EXPECT_EQ(rows[i].menuText(), std::get<2>(expected[i])) << i;
        EXPECT_EQ(rows[i].shortcut, std::get<3>(expected[i])) << i;
    }
    // Rows without an action, dividers and indexes past the end do nothing.
    for (std::size_t i = 0; i < rows.size() + 2; ++i) menu.activate(i);
}

TEST(SingleInstanceLock, ASecondHolderIsRefusedUntilTheFirstEndsHoweverItEnds) {
    const auto file = testsupport::freshDirectory("lock") / "sub" / "quillary.lock";
    auto first = std::make_unique<desktop::SingleInstanceLock>(file);
    ASSERT_EQ(first->state(), desktop::SingleInstanceLock::State::Acquired) << first->problem();

    // flock belongs to the open file, so a second open in this process is
    // refused like another process would be.
    EXPECT_EQ(desktop::SingleInstanceLock(file).state(), desktop::SingleInstanceLock::State::HeldByOther);
    first.reset();
    EXPECT_EQ(desktop::SingleInstanceLock(file).state(), desktop::SingleInstanceLock::State::Acquired);

    // A holder killed outright leaves no lock behind.
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        desktop::SingleInstanceLock held(file);
        const char byte = held.state() == desktop::SingleInstanceLock::State::Acquired ? 'y' : 'n';
        [[maybe_unused]] auto written = write(ready[1], &byte, 1);
        pause();
        _exit(0);
    }
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    EXPECT_EQ(byte, 'y');
    EXPECT_EQ(desktop::SingleInstanceLock(file).state(), desktop::SingleInstanceLock::State::HeldByOther);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    close(ready[0]);
    close(ready[1]);
    EXPECT_EQ(desktop::SingleInstanceLock(file).state(), desktop::SingleInstanceLock::State::Acquired);
}

TEST(SingleInstanceLock, AFolderThatCannotHoldTheLockIsReportedNotFatal) {
    const auto blocker = testsupport::freshDirectory("blocked") / "file";
    { std::ofstream(blocker) << "x"; }
    const desktop::SingleInstanceLock lock(blocker / "quillary.lock");  // parent is a plain file
    EXPECT_EQ(lock.state(), desktop::SingleInstanceLock::State::Unavailable);
    EXPECT_NE(lock.problem().find("cannot open"), std::string::npos) << lock.problem();
}

}  // namespace
