#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

#include "GlobalShortcuts/Name.h"

namespace GlobalShortcuts {

enum class EventType { keyDown, keyUp };

// The presses and releases of one name, buffered without bound until read.
// It starts listening, and stops when destroyed, on a later turn of the main
// loop. Move-only; main thread only.
class EventStream {
public:
    EventStream(EventStream&&) noexcept = default;
    EventStream& operator=(EventStream&&) noexcept;
    EventStream(const EventStream&) = delete;
    EventStream& operator=(const EventStream&) = delete;
    ~EventStream();

    // The oldest event not read yet.
    std::optional<EventType> next();
    std::size_t buffered() const;

    // Called after each event is buffered (to wake a reader).
    void setOnEvent(std::function<void()> onEvent);

    const Name& name() const { return name_; }

private:
    friend EventStream events(const Name& name);
    friend EventStream events(EventType type, const Name& name);

    struct Buffer {
        std::deque<EventType> events;
        std::optional<EventType> only;
        std::function<void()> onEvent;
    };

    EventStream(Name name, std::optional<EventType> only);
    void terminate();

    Name name_;
    std::uint64_t id_ = 0;
    std::shared_ptr<Buffer> buffer_;
};

// A stream of every event of the name, or of one type only.
EventStream events(const Name& name);
EventStream events(EventType type, const Name& name);

}  // namespace GlobalShortcuts
