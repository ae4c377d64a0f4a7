#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace telemetry {

// How the analytics client is set up: the project key, the ingestion host and
// the queue's limits. Every field but the key and host has a default that
// suits the application; tests shorten the intervals.
struct TelemetryConfig {
    // Used whenever the given host is not a usable http(s) address.
    static constexpr const char* kDefaultHost = "https://telemetry.quillary.app";

    // A host that is not an http(s) address with a host name is replaced by
    // kDefaultHost; a trailing slash is dropped.
    TelemetryConfig(std::string apiKey, std::string host);

    std::string apiKey;
    std::string host;

    // The host came from a test hook: uploads go only to this machine
    // (HttpRequest::loopbackOnly).
    bool loopbackOnly = false;

    // Record "Application Installed" and "Application Opened" at set-up.
    bool captureApplicationLifecycleEvents = true;

    // Upload once this many events wait, or every flushInterval.
    std::size_t flushAt = 20;
    std::chrono::milliseconds flushInterval{30'000};
    // Events in one upload.
    std::size_t maxBatchSize = 50;
    // Events kept on disk; beyond it the oldest are dropped.
    std::size_t maxQueueSize = 1000;
    // Idle limit of one upload.
    std::chrono::milliseconds requestTimeout{10'000};
    // After a failed upload the next one waits retryDelay, doubled after each
    // further failure up to maxRetryDelay.
    std::chrono::milliseconds retryDelay{5'000};
    std::chrono::milliseconds maxRetryDelay{300'000};

    // The normalised host if `host` is a usable http(s) address.
    static std::optional<std::string> normalizedHost(std::string_view host);
};

}  // namespace telemetry
