#pragma once

#include <map>
#include <mutex>

#include "platform/UserDefaults.h"

namespace platform {

// A store that lives only in memory; tests script it and read back what was
// written. Thread-safe.
class InMemoryUserDefaults final : public UserDefaults {
public:
    std::optional<DefaultsValue> object(std::string_view key) const override;
    void set(std::string_view key, DefaultsValue value) override;
    void remove(std::string_view key) override;
    std::vector<std::string> keys(std::string_view prefix = {}) const override;

    // How many times each operation ran, for tests that check writes.
    int setCount() const;

private:
    mutable std::mutex mutex_;
    std::map<std::string, DefaultsValue, std::less<>> values_;
    int sets_ = 0;
};

}  // namespace platform
