#include "core/HistoryService.h"

#include <fmt/format.h>

#include "platform/Logger.h"
#include "platform/Required.h"
#include "platform/UndecodableValue.h"
#include "platform/Uuid.h"

namespace core {
namespace {

const platform::Logger& log() {
    static const platform::Logger logger("quillary", "history");
    return logger;
}

}  // namespace

HistoryService::HistoryService(std::shared_ptr<platform::UserDefaults> defaults, std::shared_ptr<platform::Clock> clock)
    : defaults_(platform::required(std::move(defaults), "HistoryService: the settings store")),
      clock_(platform::required(std::move(clock), "HistoryService: the clock")) {
    loadHistory();
}

void HistoryService::setEntries(std::vector<HistoryEntry> entries) {
    text_.reset();
    assign(std::move(entries));
}

void HistoryService::assign(std::vector<HistoryEntry> entries) {
    entries_ = std::move(entries);
    observers_.notify();
}

HistoryService::StoredState HistoryService::takeUpStored(bool keepUnreadable) {
    // Shared, not copied: the stored list is megabytes, and when it is the
    // very text this object stored last, nothing needs to be read at all.
    auto bytes = defaults_->sharedData(kStorageKey);
    if (!bytes && !defaults_->contains(kStorageKey)) return StoredState::Absent;
    if (bytes && storedIsOurs(bytes)) return StoredState::Loaded;

    std::string error = "not a data value";
    std::optional<std::vector<HistoryEntry>> decoded;
    std::vector<history::EntrySpan> spans;
    if (bytes) decoded = history::decode(*bytes, &error, &spans);
    if (!decoded) {
        if (keepUnreadable) {
            keepStoredAside(bytes, error);
        } else {
            log().error(fmt::format("The stored history could not be read ({}); starting without it",
                                    platform::outsideText(error)));
        }
        return StoredState::Unreadable;
    }
    // Without the spans the text is of no use for adding: the next
    // addition encodes the whole list instead.
    if (spans.size() == decoded->size())
        text_.emplace(std::move(bytes), std::move(spans));
    else
        text_.reset();
    assign(std::move(*decoded));
    return StoredState::Loaded;
}

bool HistoryService::storedIsOurs(const std::shared_ptr<const std::string>& stored) const {
    if (!text_) return false;
    if (stored == text_->sharedBytes()) return true;
    // A store that copies: sizes first, since a list another object changed
    // almost always differs in length.
    return stored->size() == text_->bytes().size() && *stored == text_->bytes();
}

void HistoryService::keepStoredAside(const std::shared_ptr<const std::string>& bytes, std::string_view reason) {
    const auto stored = bytes ? std::optional(platform::DefaultsValue(platform::Data{*bytes}))
                              : defaults_->object(kStorageKey);
    if (stored) platform::keepUndecodableValue(*defaults_, kStorageKey, *stored, reason);
}

void HistoryService::loadHistory() { takeUpStored(/*keepUnreadable=*/false); }

void HistoryService::addEntry(std::string modelName, std::string input, std::optional<std::string> selectedText,
                              std::string output, std::string applicationName) {
    // Another object over the same key may have added entries or cleared the
    // list since this one last looked: start from what is stored now.
    if (takeUpStored(/*keepUnreadable=*/true) == StoredState::Absent && !entries_.empty()) {
        text_.reset();
        assign({});
    }
    HistoryEntry entry{platform::Uuid::random(), clock_->nowSinceReferenceDate(), std::move(modelName),
                       std::move(input),         std::move(selectedText),           std::move(output),
                       std::move(applicationName)};
    if (!text_) text_.emplace(entries_);
    // Made before the entry moves into the list; the kept entries' text is
    // reused as it stands.
    HistoryText text = text_->withNewest(entry, kMaxEntries);
    auto entries = std::move(entries_);
    entries.insert(entries.begin(), std::move(entry));
    if (entries.size() > kMaxEntries) entries.resize(kMaxEntries);
    text_ = std::move(text);
    assign(std::move(entries));
    store();
}

void HistoryService::saveHistory() {
    // Only the stored value's readability matters here: this object's own
    // list is what gets written.
    const auto bytes = defaults_->sharedData(kStorageKey);
    std::string error = "not a data value";
    if (bytes ? !storedIsOurs(bytes) && !history::decode(*bytes, &error) : defaults_->contains(kStorageKey))
        keepStoredAside(bytes, error);
    store();
}

void HistoryService::clearHistory() {
    setEntries({});
    store();
    defaults_->removeKeptCopies(kStorageKey);
}

void HistoryService::store() {
    // `text_` is unset after `setEntries`, also when an observer called it
    // while being told of an addition.
    if (!text_) text_.emplace(entries_);
    defaults_->setSharedData(kStorageKey, text_->sharedBytes());
}

}  // namespace core
