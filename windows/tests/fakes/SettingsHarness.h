#pragma once

// Settings over an in-memory store with every analytics event recorded, for
// the tab models and windows.

#include <memory>
#include <string>
#include <vector>

#include "core/Analytics.h"
#include "core/Settings.h"
#include "core/tests/RecordingSinks.h"
#include "platform/fake/InMemoryUserDefaults.h"

namespace windows::testing {

struct SettingsHarness {
    SettingsHarness() { analytics.setSink(sink); }

    // The "setting_changed" events for one user-defaults key.
    std::vector<std::string> changes(std::string_view key) const {
        std::vector<std::string> values;
        for (const auto& event : sink->events) {
            if (event.name != "setting_changed") continue;
            const auto setting = event.properties.find("setting");
            const auto value = event.properties.find("new_value");
            if (setting == event.properties.end() || value == event.properties.end()) continue;
            if (std::get<std::string>(setting->second) != key) continue;
            values.push_back(std::get<std::string>(value->second));
        }
        return values;
    }

    // Whether any property of any event contains `text`.
    bool anyEventContains(const std::string& text) const {
        for (const auto& event : sink->events) {
            for (const auto& [name, value] : event.properties) {
                if (const auto* s = std::get_if<std::string>(&value); s && s->find(text) != std::string::npos) return true;
            }
        }
        return false;
    }

    std::shared_ptr<platform::InMemoryUserDefaults> defaults = std::make_shared<platform::InMemoryUserDefaults>();
    std::shared_ptr<core::testing::RecordingAnalyticsSink> sink = std::make_shared<core::testing::RecordingAnalyticsSink>();
    core::Analytics analytics;
    core::Settings settings{defaults, analytics};
};

}  // namespace windows::testing
