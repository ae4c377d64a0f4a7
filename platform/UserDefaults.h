#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace platform {

// Raw bytes stored as a "data" value (distinct from a string value).
struct Data {
    std::string bytes;
    friend bool operator==(const Data&, const Data&) = default;
};

// One stored value. "Nothing stored", a stored false and a stored string are
// all different things.
using DefaultsValue = std::variant<std::string, double, std::int64_t, bool, Data>;

// The user's key-value settings store. Getters never fail: a missing double
// reads 0.0, a missing integer 0, a missing Boolean false;
// numbers and Booleans convert into one another, nothing else does.
// Implementations are safe to call from any thread, and reading or changing
// a value never waits for the disk.
class UserDefaults {
public:
    virtual ~UserDefaults() = default;

    virtual std::optional<DefaultsValue> object(std::string_view key) const = 0;
    virtual void set(std::string_view key, DefaultsValue value) = 0;
    virtual void remove(std::string_view key) = 0;
    virtual std::vector<std::string> keys(std::string_view prefix = {}) const = 0;

    bool contains(std::string_view key) const { return object(key).has_value(); }

    // Removes the copies of `key`'s earlier values that were kept aside
    // because they could not be read ("KEY.corrupt", "KEY.corrupt.N"),
    // whatever they hold: for when the user asks for a value to be gone.
    virtual void removeKeptCopies(std::string_view key);
    // Whether `candidate` names such a copy of `key`; of any key. Walks over
    // stored names skip such copies: they are no settings of their own.
    static bool isKeptCopy(std::string_view candidate, std::string_view key);
    static bool isKeptCopy(std::string_view candidate);

    // The bytes of a data value without a copy of them, for values of
    // megabytes (the history). Nothing when no data value is stored. The
    // bytes never change; a later change of the key stores new ones.
    virtual std::shared_ptr<const std::string> sharedData(std::string_view key) const;
    // Stores a data value whose bytes the caller keeps reading; neither side
    // changes them afterwards.
    virtual void setSharedData(std::string_view key, std::shared_ptr<const std::string> bytes);

    // Waits until every change made so far is on disk, or until a try to
    // write it failed. Returns whether everything is on disk. The program
    // calls it at quit; a store that writes inside each change has nothing
    // to wait for.
    virtual bool flush() { return true; }

    std::optional<std::string> string(std::string_view key) const;  // string values only
    std::optional<Data> data(std::string_view key) const;            // data values only
    double double_(std::string_view key) const;
    std::int64_t integer(std::string_view key) const;
    bool bool_(std::string_view key) const;

    void setString(std::string_view key, std::string value) { set(key, std::move(value)); }
    void setData(std::string_view key, std::string bytes) { set(key, Data{std::move(bytes)}); }
    void setDouble(std::string_view key, double value) { set(key, value); }
    void setInteger(std::string_view key, std::int64_t value) { set(key, value); }
    void setBool(std::string_view key, bool value) { set(key, value); }

    // The process-wide store ("standard user defaults"): the one the program
    // installed at start-up (null uninstalls it at the end). Read while none
    // is installed, it is the library's default: the JSON file store at its
    // XDG path (JsonFileUserDefaults::defaultPath()), made on first use and
    // flushed at exit (see LibraryDefaults), unless a store was ever
    // installed: then it is an empty store that keeps nothing. Thread-safe.
    static std::shared_ptr<UserDefaults> standard();
    static void setStandard(std::shared_ptr<UserDefaults> defaults);
};

}  // namespace platform
