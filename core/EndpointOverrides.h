#pragma once

#include <functional>

#include "core/AIService.h"

namespace core {

// Reads one environment variable: null when it is not set.
using EnvironmentLookup = std::function<const char*(const char*)>;

// The providers' endpoints the program uses: the real ones, except where a
// test points a provider at a server on this machine. Each of
// QUILLARY_OPENAI_URL, QUILLARY_ANTHROPIC_URL, QUILLARY_GEMINI_URL and
// QUILLARY_OLLAMA_URL names a server ("http://127.0.0.1:PORT", optionally
// with a path prefix) that then gets the provider's usual paths. A value
// that is not plainly an address of this machine is ignored with a log line;
// the endpoints a value did set are marked loopback-only, so the transport
// itself refuses to send their requests anywhere else.
// QUILLARY_PROVIDER_TIMEOUT_MS replaces the idle time-out of the redirected
// OpenAI, Anthropic and Ollama servers (Gemini's client keeps its own), so a
// test sees a time-out without waiting a minute.
AIServiceEndpoints endpointsFromEnvironment(const EnvironmentLookup& lookup);

}  // namespace core
