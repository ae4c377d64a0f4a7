#pragma once

#include <memory>
#include <string>
#include <vector>

#include "desktop/AccessibilityManager.h"
#include "desktop/PermissionWindowController.h"
#include "platform/AnalyticsSink.h"
#include "platform/ApplicationActivationEvents.h"
#include "platform/UserDefaults.h"
#include "platform/fake/FakeAccessibilityTrust.h"
#include "platform/fake/FakeSettingsLink.h"
#include "platform/fake/InMemoryUserDefaults.h"
#include "platform/fake/ManualMainLoop.h"

namespace desktop::testing {

// What happened to the permission windows a manager made, in order.
struct WindowLog {
    int created = 0;
    std::vector<std::string> calls;  // "show 1", "hide 1", "close 1" (window number)
};

class FakePermissionWindow final : public PermissionWindowController {
public:
    FakePermissionWindow(std::shared_ptr<WindowLog> log, int number) : log_(std::move(log)), number_(number) {}
    void showWindow() override { record("show"); }
    void orderOut() override { record("hide"); }
    void close() override { record("close"); }
    bool hasWindow() const override { return true; }

private:
    void record(const char* what) { log_->calls.push_back(std::string(what) + " " + std::to_string(number_)); }
    std::shared_ptr<WindowLog> log_;
    int number_;
};

// Keeps every event with whether "has_launched_before" was already stored.
struct OrderedAnalyticsSink final : platform::AnalyticsSink {
    explicit OrderedAnalyticsSink(std::shared_ptr<platform::UserDefaults> defaults) : defaults(std::move(defaults)) {}
    void capture(const std::string& event, const platform::AnalyticsProperties& properties) override {
        events.push_back(event);
        propertyCounts.push_back(properties.size());
        launchedBeforeStored.push_back(defaults->bool_(AccessibilityManager::launchedBeforeKey));
    }
    std::shared_ptr<platform::UserDefaults> defaults;
    std::vector<std::string> events;
    std::vector<std::size_t> propertyCounts;
    std::vector<bool> launchedBeforeStored;
};

// A manager's fakes, ready to build one with or without a window factory.
struct PermissionFixture {
    std::shared_ptr<platform::FakeAccessibilityTrust> trust = std::make_shared<platform::FakeAccessibilityTrust>();
    std::shared_ptr<platform::ApplicationActivationEvents> activations =
        std::make_shared<platform::ApplicationActivationEvents>();
    std::shared_ptr<platform::FakeSettingsLink> settingsLink = std::make_shared<platform::FakeSettingsLink>();
    std::shared_ptr<platform::InMemoryUserDefaults> defaults = std::make_shared<platform::InMemoryUserDefaults>();
    std::shared_ptr<OrderedAnalyticsSink> analytics = std::make_shared<OrderedAnalyticsSink>(defaults);
    std::shared_ptr<platform::ManualMainLoop> loop = std::make_shared<platform::ManualMainLoop>();
    std::shared_ptr<WindowLog> windows = std::make_shared<WindowLog>();

    AccessibilityManager::Dependencies dependencies(AccessibilityManager::WindowFactory factory = {}) {
        if (!factory)
            factory = [log = windows](AccessibilityManager&) -> std::unique_ptr<PermissionWindowController> {
                return std::make_unique<FakePermissionWindow>(log, ++log->created);
            };
        return {trust, activations, settingsLink, defaults, analytics, loop, std::move(factory)};
    }
};

}  // namespace desktop::testing
