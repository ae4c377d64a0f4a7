#include "core/HistoryService.h"

#include <fmt/format.h>

#include "core/UndecodableValue.h"
#include "platform/Logger.h"
#include "platform/Uuid.h"

namespace core {
namespace {

const platform::Logger& log() {
    static const platform::Logger logger("quillary", "history");
    return logger;
}

}  // namespace

HistoryService::HistoryService(std::shared_ptr<platform::UserDefaults> defaults, std::shared_ptr<platform::Clock> clock)
    : defaults_(std::move(defaults)), clock_(std::move(clock)) {
    loadHistory();
}

void HistoryService::setEntries(std::vector<HistoryEntry> entries) {
    syncedBytes_.reset();
    assign(std::move(entries));
}

void HistoryService::assign(std::vector<HistoryEntry> entries) {
    entries_ = std::move(entries);
    observers_.notify();
}

HistoryService::StoredState HistoryService::takeUpStored(bool keepUnreadable) {
    auto stored = defaults_->object(kStorageKey);
    if (!stored) return StoredState::Absent;
    auto* data = std::get_if<platform::Data>(&*stored);
    if (data && syncedBytes_ && *syncedBytes_ == data->bytes) return StoredState::Loaded;

    std::string error = "not a data value";
    std::optional<std::vector<HistoryEntry>> decoded;
    if (data) decoded = history::decode(data->bytes, &error);
    if (!decoded) {
        if (keepUnreadable) {
            keepUndecodableValue(*defaults_, kStorageKey, *stored, error);
        } else {
            log().error(fmt::format("The stored history could not be read ({}); starting without it", error));
        }
        return StoredState::Unreadable;
    }
    syncedBytes_ = std::move(data->bytes);
    assign(std::move(*decoded));
    return StoredState::Loaded;
}

void HistoryService::loadHistory() { takeUpStored(/*keepUnreadable=*/false); }

void HistoryService::addEntry(std::string modelName, std::string input, std::optional<std::string> selectedText,
                              std::string output, std::string applicationName) {
    // Another object over the same key may have added entries or cleared the
    // list since this one last looked: start from what is stored now.
    if (takeUpStored(/*keepUnreadable=*/true) == StoredState::Absent && !entries_.empty()) {
        syncedBytes_.reset();
        assign({});
    }
    HistoryEntry entry{platform::Uuid::random(), clock_->nowSinceReferenceDate(), std::move(modelName),
                       std::move(input),         std::move(selectedText),           std::move(output),
                       std::move(applicationName)};
    auto entries = std::move(entries_);
    entries.insert(entries.begin(), std::move(entry));
    if (entries.size() > kMaxEntries) entries.resize(kMaxEntries);
    assign(std::move(entries));
    store();
}

void HistoryService::saveHistory() {
    // Only the stored value's readability matters here: this object's own
    // list is what gets written.
    const auto stored = defaults_->object(kStorageKey);
    if (stored) {
        const auto* data = std::get_if<platform::Data>(&*stored);
        const bool known = data && syncedBytes_ && *syncedBytes_ == data->bytes;
        std::string error = "not a data value";
        if (!known && !(data && history::decode(data->bytes, &error)))
            keepUndecodableValue(*defaults_, kStorageKey, *stored, error);
    }
    store();
}

void HistoryService::store() {
    std::string bytes = history::encode(entries_);
    defaults_->setData(kStorageKey, bytes);
    syncedBytes_ = std::move(bytes);
}

}  // namespace core
