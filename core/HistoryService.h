#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/HistoryEntry.h"
#include "core/HistoryText.h"
#include "core/ObserverList.h"
#include "platform/Clock.h"
#include "platform/UserDefaults.h"

namespace core {

// The store of answered prompts: newest first, at most 1000 entries, kept
// as one data value under "quillary_history".
//
// Several of these objects work over the same key at once (the application,
// each panel, the settings window). So that none of them writes a stale list
// back, `addEntry` first takes up what is stored now, and a clear (assigning
// an empty list, then `saveHistory`) reaches the store at once. A stored list
// that cannot be read is kept under a side key before it is first replaced.
//
// Main thread only.
class HistoryService {
public:
    static constexpr std::size_t kMaxEntries = 1000;
    static constexpr std::string_view kStorageKey = "quillary_history";

    // Loads the stored list (see loadHistory).
    explicit HistoryService(std::shared_ptr<platform::UserDefaults> defaults = platform::UserDefaults::standard(),
                            std::shared_ptr<platform::Clock> clock = platform::Clock::system());
    HistoryService(const HistoryService&) = delete;
    HistoryService& operator=(const HistoryService&) = delete;

    // Newest first.
    const std::vector<HistoryEntry>& entries() const { return entries_; }
    // Replaces the list in memory and notifies observers; stores nothing
    // until `saveHistory`.
    void setEntries(std::vector<HistoryEntry> entries);

    // Records one answer: takes up the stored list, puts a new entry (fresh
    // id, current time) first, keeps the newest 1000 and stores the list.
    void addEntry(std::string modelName, std::string input, std::optional<std::string> selectedText,
                  std::string output, std::string applicationName);

    // Replaces `entries` with the stored list when there is one that can be
    // read; otherwise leaves `entries` as they are. Never trims.
    void loadHistory();

    // Stores the whole of `entries` under the storage key.
    void saveHistory();

    // "Clear History": stores an empty list and removes every copy of the
    // list that was kept aside as unreadable, since those hold the user's
    // past prompts too.
    void clearHistory();

    // Called after `entries` changed.
    ObserverToken subscribe(std::function<void()> observer) { return observers_.subscribe(std::move(observer)); }
    void unsubscribe(ObserverToken token) { observers_.unsubscribe(token); }

private:
    enum class StoredState { Absent, Unreadable, Loaded };

    // Reads the stored list into `entries` when it differs from what this
    // object last read or wrote. An unreadable value is kept aside first
    // when `keepUnreadable` is set.
    StoredState takeUpStored(bool keepUnreadable);
    void assign(std::vector<HistoryEntry> entries);
    // Whether the stored bytes are the text `entries_` came from or went to.
    bool storedIsOurs(const std::shared_ptr<const std::string>& stored) const;
    // Keeps the stored value (these bytes, or a value that is not data)
    // under a side key before it is replaced.
    void keepStoredAside(const std::shared_ptr<const std::string>& bytes, std::string_view reason);
    // Writes the text of `entries_`.
    void store();

    std::shared_ptr<platform::UserDefaults> defaults_;
    std::shared_ptr<platform::Clock> clock_;
    ObserverList<> observers_;
    std::vector<HistoryEntry> entries_;
    // The text of `entries_` as this object last read or wrote it, unless
    // `entries_` was replaced since. Stored bytes equal to it need no
    // decoding, and an addition encodes only the new entry.
    std::optional<HistoryText> text_;
};

}  // namespace core
