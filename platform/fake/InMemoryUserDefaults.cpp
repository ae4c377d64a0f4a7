#include "platform/fake/InMemoryUserDefaults.h"

namespace platform {

std::optional<DefaultsValue> InMemoryUserDefaults::object(std::string_view key) const {
    std::lock_guard lock(mutex_);
    auto it = values_.find(key);
    if (it == values_.end()) return std::nullopt;
    return it->second;
}

void InMemoryUserDefaults::set(std::string_view key, DefaultsValue value) {
    std::lock_guard lock(mutex_);
    values_.insert_or_assign(std::string(key), std::move(value));
    ++sets_;
}

void InMemoryUserDefaults::remove(std::string_view key) {
    std::lock_guard lock(mutex_);
    auto it = values_.find(key);
    if (it != values_.end()) values_.erase(it);
}

std::vector<std::string> InMemoryUserDefaults::keys(std::string_view prefix) const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> out;
    for (const auto& [k, v] : values_)
        if (k.compare(0, prefix.size(), prefix) == 0) out.push_back(k);
    return out;
}

int InMemoryUserDefaults::setCount() const {
    std::lock_guard lock(mutex_);
    return sets_;
}

}  // namespace platform
