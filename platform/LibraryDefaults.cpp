#include "platform/LibraryDefaults.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <stdexcept>
#include <utility>

namespace platform {
namespace {

struct Kept {
    std::shared_ptr<const void> object;
    LibraryDefaults::Ending ending;
    std::function<void()> atExit;
};

struct Record {
    std::mutex mutex;
    std::vector<std::string> names;
    std::vector<std::string> refused;
    std::vector<Kept> kept;
    std::vector<void (*)()> standIns;
    bool forbidden = false;
    int permits = 0;
    bool ended = false;
};

// Never destroyed: it holds the defaults, which outlive static destruction.
Record& record() {
    static Record* const instance = new Record;
    return *instance;
}

// Runs each default's ending once, in the order of the endings, outside the
// lock: shutting an executor down joins workers that may read an accessor.
void endDefaults() {
    std::vector<Kept> ending;
    {
        std::lock_guard lock(record().mutex);
        if (record().ended) return;
        record().ended = true;
        ending = record().kept;
    }
    std::stable_sort(ending.begin(), ending.end(),
                     [](const Kept& a, const Kept& b) { return a.ending < b.ending; });
    for (const auto& kept : ending)
        if (kept.atExit) kept.atExit();
}

}  // namespace

void LibraryDefaults::refuseIfForbidden(const char* what) {
    std::lock_guard lock(record().mutex);
    if (!record().forbidden || record().permits > 0) return;
    record().refused.emplace_back(what);
    throw std::logic_error(std::string(what) +
                           " was asked for before anything was installed, and this program makes no library default");
}

void LibraryDefaults::keep(const char* what, std::shared_ptr<const void> object, Ending ending, std::function<void()> atExit) {
    {
        std::lock_guard lock(record().mutex);
        record().names.emplace_back(what);
        record().kept.push_back({std::move(object), ending, std::move(atExit)});
    }
    // Exit runs registered steps and static destructors in the reverse
    // order of their making, so the step is registered when the first
    // default is made and again after each later one: it runs (once) before
    // any static object that a default touched before it was made, such as
    // the loggers its workers write to, is destroyed.
    std::atexit(&endDefaults);
}

std::vector<std::string> LibraryDefaults::made() {
    std::lock_guard lock(record().mutex);
    return record().names;
}

std::vector<std::string> LibraryDefaults::refused() {
    std::lock_guard lock(record().mutex);
    return record().refused;
}

void LibraryDefaults::forbid() {
    std::lock_guard lock(record().mutex);
    record().forbidden = true;
}

bool LibraryDefaults::addStandIn(void (*install)()) {
    std::lock_guard lock(record().mutex);
    record().standIns.push_back(install);
    return true;
}

void LibraryDefaults::installStandIns() {
    std::vector<void (*)()> standIns;
    {
        std::lock_guard lock(record().mutex);
        standIns = record().standIns;
    }
    for (const auto install : standIns) install();
}

LibraryDefaults::Permit::Permit() {
    std::lock_guard lock(record().mutex);
    ++record().permits;
}

LibraryDefaults::Permit::~Permit() {
    std::lock_guard lock(record().mutex);
    --record().permits;
}

}  // namespace platform
