#pragma once

#include <memory>

#include "platform/Executor.h"

namespace gemini {

// The workers of streamed answers for models that were given no executor.
// Made on first use, after the client's loggers, the log sink and the shared
// HTTP transport: objects with static lifetime go in the reverse order they
// were made, so at exit this executor goes first, cancelling the transfers
// still running and joining their threads while everything they use exists.
// A program that builds its own objects passes them its own executor instead.
class StreamExecutor {
public:
    StreamExecutor() = delete;
    static std::shared_ptr<platform::Executor> shared();
};

}  // namespace gemini
