#include "platform/UserDefaults.h"

#include "platform/Installed.h"
#include "platform/LibraryDefaults.h"
#include "platform/linux/JsonFileUserDefaults.h"

namespace platform {

std::optional<std::string> UserDefaults::string(std::string_view key) const {
    auto v = object(key);
    if (!v) return std::nullopt;
    if (auto* s = std::get_if<std::string>(&*v)) return std::move(*s);
    return std::nullopt;
}

std::optional<Data> UserDefaults::data(std::string_view key) const {
    auto v = object(key);
    if (!v) return std::nullopt;
    if (auto* d = std::get_if<Data>(&*v)) return std::move(*d);
    return std::nullopt;
}

std::shared_ptr<const std::string> UserDefaults::sharedData(std::string_view key) const {
    auto d = data(key);
    if (!d) return nullptr;
    return std::make_shared<const std::string>(std::move(d->bytes));
}

void UserDefaults::setSharedData(std::string_view key, std::shared_ptr<const std::string> bytes) {
    setData(key, bytes ? *bytes : std::string());
}

double UserDefaults::double_(std::string_view key) const {
    auto v = object(key);
    if (!v) return 0.0;
    if (auto* d = std::get_if<double>(&*v)) return *d;
    if (auto* i = std::get_if<std::int64_t>(&*v)) return static_cast<double>(*i);
    if (auto* b = std::get_if<bool>(&*v)) return *b ? 1.0 : 0.0;
    return 0.0;
}

std::int64_t UserDefaults::integer(std::string_view key) const {
    auto v = object(key);
    if (!v) return 0;
    if (auto* i = std::get_if<std::int64_t>(&*v)) return *i;
    if (auto* d = std::get_if<double>(&*v)) {
        // Out-of-range or non-finite doubles read as 0 rather than overflow.
        if (!(*d > -9.2e18 && *d < 9.2e18)) return 0;
        return static_cast<std::int64_t>(*d);
    }
    if (auto* b = std::get_if<bool>(&*v)) return *b ? 1 : 0;
    return 0;
}

bool UserDefaults::bool_(std::string_view key) const {
    auto v = object(key);
    if (!v) return false;
    if (auto* b = std::get_if<bool>(&*v)) return *b;
    if (auto* i = std::get_if<std::int64_t>(&*v)) return *i != 0;
    if (auto* d = std::get_if<double>(&*v)) return *d != 0.0;
    return false;
}

void UserDefaults::removeKeptCopies(std::string_view key) {
    for (const auto& candidate : keys(key))
        if (isKeptCopy(candidate, key)) remove(candidate);
}

namespace {
constexpr std::string_view kCopy = ".corrupt";

// Whether `tail` is what follows a key in the name of a copy kept of it.
bool isCopyTail(std::string_view tail) {
    if (!tail.starts_with(kCopy)) return false;
    const auto number = tail.substr(kCopy.size());
    if (number.empty()) return true;
    return number.size() > 1 && number[0] == '.' &&
           number.find_first_not_of("0123456789", 1) == std::string_view::npos;
}
}  // namespace

bool UserDefaults::isKeptCopy(std::string_view candidate, std::string_view key) {
    return candidate.starts_with(key) && isCopyTail(candidate.substr(key.size()));
}

bool UserDefaults::isKeptCopy(std::string_view candidate) {
    // "KEY.corrupt" or "KEY.corrupt.N": the last ".corrupt" in the name.
    const auto at = candidate.rfind(kCopy);
    return at != std::string_view::npos && at > 0 && isCopyTail(candidate.substr(at));
}

namespace {
std::shared_ptr<UserDefaults> makeStandard() {
    return LibraryDefaults::make<UserDefaults>(
        "the standard settings store",
        [] { return std::make_shared<JsonFileUserDefaults>(JsonFileUserDefaults::defaultPath()); },
        LibraryDefaults::Ending::flushSettings, [](UserDefaults& store) { store.flush(); });
}

// What a late read gets after the program uninstalled its store: a change
// made then has no store to go to, and must not make one.
class EmptyUserDefaults final : public UserDefaults {
public:
    std::optional<DefaultsValue> object(std::string_view) const override { return std::nullopt; }
    void set(std::string_view, DefaultsValue) override {}
    void remove(std::string_view) override {}
    std::vector<std::string> keys(std::string_view) const override { return {}; }
};

std::shared_ptr<UserDefaults> makeEmpty() { return std::make_shared<EmptyUserDefaults>(); }

Installed<UserDefaults>& standardSlot() {
    static auto* const slot = new Installed<UserDefaults>("the standard settings store", &makeStandard, &makeEmpty);
    return *slot;
}
}  // namespace

std::shared_ptr<UserDefaults> UserDefaults::standard() { return standardSlot().get(); }

void UserDefaults::setStandard(std::shared_ptr<UserDefaults> defaults) { standardSlot().install(std::move(defaults)); }

}  // namespace platform
