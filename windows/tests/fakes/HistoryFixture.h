#pragma once

// A history store over an in-memory defaults object, filled with entries
// made field by field, for the history tab's tests.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/HistoryService.h"
#include "platform/Uuid.h"
#include "platform/fake/InMemoryUserDefaults.h"

namespace windows::testing {

inline core::HistoryEntry historyEntry(std::string input, std::string output = "answer",
                                       std::optional<std::string> selected = std::nullopt,
                                       std::string model = "GPT-4o", std::string app = "Text Editor",
                                       double timestamp = 757782240.0) {
    return core::HistoryEntry{platform::Uuid::random(), timestamp, std::move(model), std::move(input),
                              std::move(selected), std::move(output), std::move(app)};
}

struct HistoryFixture {
    explicit HistoryFixture(std::vector<core::HistoryEntry> entries = {}) {
        store->setEntries(std::move(entries));
        store->saveHistory();
    }
    std::string stored() const {
        const auto bytes = defaults->sharedData(core::HistoryService::kStorageKey);
        return bytes ? *bytes : std::string("<nothing>");
    }

    std::shared_ptr<platform::InMemoryUserDefaults> defaults = std::make_shared<platform::InMemoryUserDefaults>();
    std::unique_ptr<core::HistoryService> store = std::make_unique<core::HistoryService>(defaults);
};

}  // namespace windows::testing
