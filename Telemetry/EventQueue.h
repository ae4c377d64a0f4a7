#pragma once

#include <cstddef>
#include <deque>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace telemetry {

// Events waiting for upload, one JSON file each ("<id>.json") in the queue
// folder, so they survive a restart. Identifiers are time-ordered, which makes
// name order the order of capture. The queue is bounded: past its limit the
// oldest events are dropped, with a log line. Safe from any thread; nothing
// here throws.
class EventQueue {
public:
    // Picks up the events a previous run left behind.
    EventQueue(std::filesystem::path folder, std::size_t maxEvents);

    void add(const std::string& id, const nlohmann::json& event);

    struct Batch {
        std::vector<std::string> ids;
        std::vector<nlohmann::json> events;
    };
    // Up to `count` of the oldest events, read from disk. Files that no longer
    // parse are dropped on the way (they could never be sent).
    Batch oldest(std::size_t count);

    // Forgets the events and deletes their files.
    void remove(const std::vector<std::string>& ids);

    std::size_t size() const;
    const std::filesystem::path& folder() const { return folder_; }

private:
    std::filesystem::path fileFor(const std::string& id) const;
    void forget(const std::string& id);
    // Called with mutex_ held; returns the identifiers pushed out, whose
    // files discard() then deletes outside the lock.
    std::vector<std::string> trimLocked();
    void discard(const std::vector<std::string>& dropped) const;

    const std::filesystem::path folder_;
    const std::size_t maxEvents_;
    mutable std::mutex mutex_;
    std::deque<std::string> ids_;  // oldest first
};

}  // namespace telemetry
