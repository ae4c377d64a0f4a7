#pragma once

#include <memory>
#include <string>
#include <vector>

namespace platform {

// One ordered record that several fakes write to, so a test sees how keys,
// waits and clipboard writes interleave ("control down", "wait 50ms",
// "set hello").
using EventJournal = std::shared_ptr<std::vector<std::string>>;

inline EventJournal makeEventJournal() { return std::make_shared<std::vector<std::string>>(); }

inline void note(const EventJournal& journal, std::string entry) {
    if (journal) journal->push_back(std::move(entry));
}

}  // namespace platform
