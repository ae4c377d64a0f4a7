#include "platform/Threads.h"

namespace platform {

namespace {
std::atomic<std::size_t> ownCount{0};
std::atomic<std::atomic<std::size_t>*> counting{&ownCount};
}  // namespace

std::size_t Threads::running() { return count().load(); }

std::atomic<std::size_t>& Threads::count() { return *counting.load(); }

void Threads::countInto(std::atomic<std::size_t>& count) { counting.store(&count); }

Threads::Counted::Counted() : count_(&count()) { count_->fetch_add(1); }

Threads::Counted::~Counted() {
    if (count_) count_->fetch_sub(1);
}

}  // namespace platform
