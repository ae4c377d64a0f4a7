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
    text_.reset();
    assign(std::move(entries));
}

void HistoryService::assign(std::vector<HistoryEntry> entries) {
    entries_ = std::move(entries);
    observers_.notify();
}

HistoryService::StoredState HistoryService::takeUpStored(bool keepUnreadable) {
    auto stored = defaults_->object(kStorageKey);
    if (!stored) return StoredState::Absent;
    if (storedIsOurs(*stored)) return StoredState::Loaded;

    auto* data = std::get_if<platform::Data>(&*stored);
    std::string error = "not a data value";
    std::optional<std::vector<HistoryEntry>> decoded;
    std::vector<history::EntrySpan> spans;
    if (data) decoded = history::decode(data->bytes, &error, &spans);
    if (!decoded) {
        if (keepUnreadable) {
            keepUndecodableValue(*defaults_, kStorageKey, *stored, error);
        } else {
            log().error(fmt::format("The stored history could not be read ({}); starting without it", error));
        }
        return StoredState::Unreadable;
    }
    // Without the spans the text is of no use for adding: the next
    // addition encodes the whole list instead.
    if (spans.size() == decoded->size())
        text_.emplace(std::move(data->bytes), std::move(spans));
    else
        text_.reset();
    assign(std::move(*decoded));
    return StoredState::Loaded;
}

bool HistoryService::storedIsOurs(const platform::DefaultsValue& stored) const {
    const auto* data = std::get_if<platform::Data>(&stored);
    // Sizes first: a list another object changed almost always differs in length.
    return data && text_ && text_->bytes().size() == data->bytes.size() && text_->bytes() == data->bytes;
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
    const auto stored = defaults_->object(kStorageKey);
    if (stored && !storedIsOurs(*stored)) {
        const auto* data = std::get_if<platform::Data>(&*stored);
        std::string error = "not a data value";
        if (!(data && history::decode(data->bytes, &error)))
            keepUndecodableValue(*defaults_, kStorageKey, *stored, error);
    }
    store();
}

void HistoryService::store() {
    // `text_` is unset after `setEntries`, also when an observer called it
    // while being told of an addition.
    if (!text_) text_.emplace(entries_);
    defaults_->setData(kStorageKey, text_->bytes());
}

}  // namespace core
