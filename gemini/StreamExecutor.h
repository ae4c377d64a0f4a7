#pragma once

#include <memory>

#include "platform/Executor.h"

namespace gemini {

// The workers of streamed answers for models that were given no executor: a
// library default (see platform::LibraryDefaults), made at the first such
// stream over the shared HTTP client and never destroyed. The exit step
// shuts it down first, cancelling the transfers still running and joining
// their workers, so a program that returns from main while an abandoned
// stream is still being read exits cleanly. A program that builds its own
// objects passes its models its own executor instead.
class StreamExecutor {
public:
    StreamExecutor() = delete;
    static std::shared_ptr<platform::Executor> shared();
};

}  // namespace gemini
