#include "Telemetry/EventQueue.h"

#include <algorithm>
#include <unordered_set>
#include <utility>

#include "platform/AtomicFile.h"
#include "Telemetry/TelemetryLog.h"

namespace telemetry {
namespace {

constexpr std::string_view kExtension = ".json";

void deleteFile(const std::filesystem::path& file) {
    std::error_code ignored;  // already gone is fine
    std::filesystem::remove(file, ignored);
}


}  // namespace

EventQueue::EventQueue(std::filesystem::path folder, std::size_t maxEvents)
    : folder_(std::move(folder)), maxEvents_(std::max<std::size_t>(maxEvents, 1)) {
    std::error_code ec;
    (void)platform::atomic_file::makeFolders(folder_);  // a failure shows in the listing below
    std::vector<std::string> found;
    for (auto it = std::filesystem::directory_iterator(folder_, ec); !ec && it != std::filesystem::directory_iterator();
         it.increment(ec)) {
        const auto name = it->path().filename().string();
        if (name.ends_with(platform::atomic_file::kTemporarySuffix)) {
            deleteFile(it->path());  // a write cut short by a crash
        } else if (name.ends_with(kExtension) && name.size() > kExtension.size()) {
            found.push_back(name.substr(0, name.size() - kExtension.size()));
        }
    }
    if (ec) log().error("[Telemetry] cannot list the event queue " + folder_.string() + ": " + ec.message());
    std::sort(found.begin(), found.end());
    std::vector<std::string> dropped;
    {
        std::lock_guard lock(mutex_);
        ids_.assign(found.begin(), found.end());
        dropped = trimLocked();
    }
    discard(dropped);
}

std::filesystem::path EventQueue::fileFor(const std::string& id) const {
    return folder_ / (id + std::string(kExtension));
}

void EventQueue::add(const std::string& id, const nlohmann::json& event) {
    const auto text = event.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    // Each event's own file, written outside the lock: capture on one thread
    // never waits for another's disk write.
    if (auto error = platform::atomic_file::write(fileFor(id), text, platform::atomic_file::Sync::None)) {
        log().error("[Telemetry] cannot store event " + id + ": " + *error);
        return;
    }
    std::vector<std::string> dropped;
    {
        std::lock_guard lock(mutex_);
        // Writers finish out of order now and then; keep the list sorted.
        ids_.insert(std::upper_bound(ids_.begin(), ids_.end(), id), id);
        dropped = trimLocked();
    }
    discard(dropped);
}

std::vector<std::string> EventQueue::trimLocked() {
    std::vector<std::string> dropped;
    while (ids_.size() > maxEvents_) {
        dropped.push_back(std::move(ids_.front()));
        ids_.pop_front();
    }
    return dropped;
}

void EventQueue::discard(const std::vector<std::string>& dropped) const {
    for (const auto& id : dropped) {
        deleteFile(fileFor(id));
        log().error("[Telemetry] queue full (" + std::to_string(maxEvents_) + " events): dropped the oldest event " +
                    platform::outsideText(id));
    }
}

EventQueue::Batch EventQueue::oldest(std::size_t count) {
    std::vector<std::string> candidates;
    {
        std::lock_guard lock(mutex_);
        const auto n = std::min(count, ids_.size());
        candidates.assign(ids_.begin(), ids_.begin() + static_cast<std::ptrdiff_t>(n));
    }
    Batch batch;
    for (auto& id : candidates) {
        const auto text = platform::atomic_file::read(fileFor(id));
        if (!text) {
            // Dropped for room since the list was taken, or removed by hand.
            forget(id);
            continue;
        }
        auto event = nlohmann::json::parse(*text, nullptr, /*allow_exceptions=*/false);
        if (!event.is_object()) {
            // The name was found on disk.
            log().error("[Telemetry] dropping unreadable event file " + platform::outsideText(fileFor(id).string()));
            forget(id);
            deleteFile(fileFor(id));
            continue;
        }
        batch.events.push_back(std::move(event));
        batch.ids.push_back(std::move(id));
    }
    return batch;
}

void EventQueue::forget(const std::string& id) {
    std::lock_guard lock(mutex_);
    if (auto it = std::find(ids_.begin(), ids_.end(), id); it != ids_.end()) ids_.erase(it);
}

void EventQueue::remove(const std::vector<std::string>& ids) {
    const std::unordered_set<std::string> gone(ids.begin(), ids.end());
    {
        std::lock_guard lock(mutex_);
        std::erase_if(ids_, [&](const std::string& id) { return gone.contains(id); });
    }
    for (const auto& id : ids) deleteFile(fileFor(id));
}

std::size_t EventQueue::size() const {
    std::lock_guard lock(mutex_);
    return ids_.size();
}

}  // namespace telemetry
