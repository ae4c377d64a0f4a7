#include "GlobalShortcuts/EventStream.h"

#include "GlobalShortcuts/GlobalShortcuts.h"

namespace GlobalShortcuts {

namespace {
std::uint64_t nextStreamId = 1;
}  // namespace

EventStream::EventStream(Name name, std::optional<EventType> only)
    : name_(std::move(name)), id_(nextStreamId++), buffer_(std::make_shared<Buffer>()) {
    buffer_->only = only;
    // The delivering function holds the buffer, not the stream: the stream
    // may end before the main loop gets to this.
    std::function<void(EventType)> deliver = [buffer = buffer_](EventType type) {
        if (buffer->only && *buffer->only != type)
            return;
        buffer->events.push_back(type);
        if (buffer->onEvent) {
            const auto onEvent = buffer->onEvent;
            onEvent();
        }
    };
    // Without a main loop the stream never listens (the loop's absence was
    // logged): nothing would ever deliver to it.
    if (const auto loop = detail::mainLoop())
        loop->post([name = name_, id = id_, deliver = std::move(deliver)]() mutable {
            detail::addStream(name, id, std::move(deliver));
        });
}

EventStream& EventStream::operator=(EventStream&& other) noexcept {
    if (this != &other) {
        terminate();
        name_ = std::move(other.name_);
        id_ = other.id_;
        buffer_ = std::move(other.buffer_);
    }
    return *this;
}

EventStream::~EventStream() { terminate(); }

void EventStream::terminate() {
    if (!buffer_)
        return;  // moved from
    buffer_->onEvent = nullptr;
    buffer_.reset();
    // Posted after the registration, so it always finds it in place. No
    // main loop any more (process exit): nothing left to tidy.
    if (const auto loop = detail::mainLoop())
        loop->post([name = name_, id = id_] { detail::removeStream(name, id); });
}

std::optional<EventType> EventStream::next() {
    if (!buffer_ || buffer_->events.empty())
        return std::nullopt;
    const auto type = buffer_->events.front();
    buffer_->events.pop_front();
    return type;
}

std::size_t EventStream::buffered() const { return buffer_ ? buffer_->events.size() : 0; }

void EventStream::setOnEvent(std::function<void()> onEvent) {
    if (buffer_)
        buffer_->onEvent = std::move(onEvent);
}

EventStream events(const Name& name) { return EventStream(name, std::nullopt); }

EventStream events(EventType type, const Name& name) { return EventStream(name, type); }

}  // namespace GlobalShortcuts
