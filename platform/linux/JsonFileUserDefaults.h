#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "platform/UserDefaults.h"

namespace platform {

// The settings store as one JSON object in a file (mode 0600, in a folder of
// mode 0700: it holds API keys).
//
// A change updates memory and returns; one background writer per store
// writes the newest state, coalescing the changes that came meanwhile:
// temporary file, fsync, rename, so the file always holds one complete state
// the store had. Reading never waits for the disk: the lock is never held
// across a write. A write that fails is logged and tried again (after a
// pause that grows, at once on the next `flush`); values stay in memory.
// The destructor writes what is pending.
//
// Values larger than kLargeValueBytes (the history) are kept each in a file
// of their own beside the settings file, as their raw bytes, and the
// settings file names that file. Such a file gets a new name whenever its
// value changes and is written before the settings file that names it, so
// after a crash the settings file and the files it names still agree. A
// file the settings file on disk no longer names is written over with the
// next value of its key (under a new name), or removed; at opening, files
// left by a process that crashed or was killed (temporary copies, value
// files nothing names) are removed too.
//
// A file that cannot be read, is not JSON, is nested deeper than kMaxDepth
// or is not a JSON object is moved aside and reported, never overwritten;
// when even that fails the store keeps changes in memory only. An entry of
// a shape this version does not know is kept unchanged and not used; before
// a change replaces or removes it, it is moved to "KEY.corrupt" (or
// "KEY.corrupt.N", the first such key not taken) as it was.
//
// Stored shapes: strings, Booleans and numbers as themselves (integers
// without a fraction, doubles always with one); data values as
// {"data": TEXT} when the bytes are UTF-8, else {"base64": TEXT}; large
// values as {"dataFile": NAME} or {"stringFile": NAME}.
class JsonFileUserDefaults final : public UserDefaults {
public:
    static constexpr std::size_t kLargeValueBytes = 64 * 1024;
    static constexpr int kMaxDepth = 256;
    // The suffix of the files that hold large values.
    static constexpr std::string_view kValueFileSuffix = ".value";

    explicit JsonFileUserDefaults(std::filesystem::path file);
    ~JsonFileUserDefaults() override;
    JsonFileUserDefaults(const JsonFileUserDefaults&) = delete;
    JsonFileUserDefaults& operator=(const JsonFileUserDefaults&) = delete;

    // $XDG_CONFIG_HOME/quillary/defaults.json (or ~/.config/...).
    static std::filesystem::path defaultPath();

    std::optional<DefaultsValue> object(std::string_view key) const override;
    void set(std::string_view key, DefaultsValue value) override;
    void remove(std::string_view key) override;
    // Also the copies of unknown shape this store kept aside itself.
    void removeKeptCopies(std::string_view key) override;
    std::vector<std::string> keys(std::string_view prefix = {}) const override;
    std::shared_ptr<const std::string> sharedData(std::string_view key) const override;
    void setSharedData(std::string_view key, std::shared_ptr<const std::string> bytes) override;
    bool flush() override;

    const std::filesystem::path& path() const { return file_; }

private:
    // One stored entry; exactly one member is set. Values never change once
    // stored, so the writer works from shared pointers to them, unlocked.
    struct Slot {
        std::shared_ptr<const DefaultsValue> value;       // strings, numbers, Booleans
        std::shared_ptr<const std::string> data;          // the bytes of a data value
        std::shared_ptr<const nlohmann::json> unknown;    // a shape this version does not read
    };
    using Slots = std::map<std::string, Slot, std::less<>>;
    // A value file the settings file on disk names, with the bytes it holds
    // (kept so that their address cannot be reused by other bytes).
    struct ValueFile {
        std::string name;
        std::shared_ptr<const std::string> bytes;
    };

    void load();
    void moveAside(const char* reason);
    void removeLeftovers(const std::vector<std::string>& named) const;
    // Replaces the slot of `key` (called with mutex_ held); an entry of
    // unknown shape there is moved to a side key first.
    void store(std::string_view key, Slot slot);
    void keepUnknownAside(Slots::iterator it);
    void changed();  // called with mutex_ held

    void run();
    // Writes `slots` as the settings file with the value files it names.
    // Returns an error text on failure. Writer thread only.
    std::optional<std::string> write(const Slots& slots);
    // Removes the value files that the settings file on disk stopped naming.
    void removeSuperseded();

    const std::filesystem::path file_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;     // the writer: something to do
    std::condition_variable written_;  // flush: a write finished
    Slots slots_;
    bool persistent_ = true;  // false once writing would destroy a file we could not move aside
    std::uint64_t version_ = 0;         // changes made
    std::uint64_t writtenVersion_ = 0;  // the change the file holds
    std::uint64_t attemptsStarted_ = 0;
    std::uint64_t attemptsFinished_ = 0;
    bool retryNow_ = false;
    bool stopping_ = false;
    std::optional<std::chrono::steady_clock::time_point> retryAt_;

    // Writer thread only (and the constructor and destructor).
    std::map<std::string, ValueFile, std::less<>> valueFiles_;
    std::vector<std::filesystem::path> superseded_;              // to remove
    std::map<std::string, std::filesystem::path, std::less<>> spares_;  // to write the next value of a key over
    std::thread writer_;
};

}  // namespace platform
