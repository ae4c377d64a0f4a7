#pragma once

#include <atomic>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>

#include <nlohmann/json.hpp>

#include "Telemetry/TelemetryConfig.h"
#include "Telemetry/TimeOrderedIdGenerator.h"
#include "platform/AnalyticsSink.h"
#include "platform/Clock.h"
#include "platform/HttpClient.h"
#include "platform/MonotonicClock.h"

namespace telemetry {

class BatchUploader;
class EventQueue;
class StoredValues;

// The analytics client. Until setup() with a project key it ignores every
// capture. After it, each captured event gets the time, the stored distinct
// identifier and the context properties (operating system and its version,
// application name and version, "$session_id"), is written to the on-disk
// queue and uploaded in gzip batches by a worker thread. capture() returns at
// once, never throws and never waits for the network. Safe from any thread.
class TelemetrySDK final : public platform::AnalyticsSink {
public:
    struct Dependencies {
        std::shared_ptr<platform::HttpClient> http;  // required
        std::shared_ptr<platform::Clock> clock;      // null: the system clock
        std::filesystem::path folder;                // empty: defaultFolder()
        // Upload intervals and back-off; null: the steady clock.
        std::shared_ptr<platform::MonotonicClock> timer = nullptr;
    };

    explicit TelemetrySDK(Dependencies dependencies);
    // Stops the upload worker without waiting for the host; queued events
    // stay on disk and go out at the next start.
    ~TelemetrySDK() override;

    TelemetrySDK(const TelemetrySDK&) = delete;
    TelemetrySDK& operator=(const TelemetrySDK&) = delete;

    // The process-wide client, safely from any thread: the one the program
    // installed, not set up until the program calls setup(). install()
    // replaces whatever is there; null uninstalls it, at the program's end.
    // Read while none is installed, it is the library's default, made once
    // on first use over the shared HTTP client with an empty configuration
    // (off until set up; capture ignored before), never destroyed, its
    // uploads stopped at exit (see platform::LibraryDefaults). Once a client
    // was installed no default is made: read after the uninstall, it is a
    // client never set up, which drops what it is given.
    static TelemetrySDK& shared();
    // The same object, for wiring it in as another object's analytics sink.
    static std::shared_ptr<TelemetrySDK> sharedPointer();
    static void install(std::shared_ptr<TelemetrySDK> client);

    // Stops the upload worker (cancelling an upload in flight) for good;
    // later captures stay queued on disk for the next run. For a client that
    // is never destroyed.
    void stopUploads();

    // $XDG_DATA_HOME/quillary/telemetry (default ~/.local/share/...).
    static std::filesystem::path defaultFolder();

    // Starts the client. Ignored once the client is set up. An empty project
    // key leaves it off (and says so in a log line).
    void setup(const TelemetryConfig& config);
    bool isSetUp() const { return setUp_.load(std::memory_order_acquire); }

    void capture(const std::string& event, const platform::AnalyticsProperties& properties) override;
    void capture(const std::string& event) { capture(event, {}); }

    // Uploads what waits now and returns when that attempt is over. Blocks:
    // for tests and tools, never for the interface thread.
    void flush();

    // Events on disk waiting for upload (0 before set-up).
    std::size_t queuedEventCount() const;
    // Empty before set-up.
    std::string distinctId() const;
    std::string sessionId() const;

    const std::filesystem::path& folder() const { return folder_; }

private:
    std::shared_ptr<platform::HttpClient> http_;
    const std::shared_ptr<platform::Clock> clock_;
    const std::shared_ptr<platform::MonotonicClock> timer_;
    const std::filesystem::path folder_;
    TimeOrderedIdGenerator ids_;

    std::mutex setupMutex_;
    std::atomic<bool> setUp_{false};
    // Written once by setup() before setUp_ turns true, read-only after.
    std::unique_ptr<StoredValues> stored_;
    std::string distinctId_;
    std::string sessionId_;
    nlohmann::json context_;
    std::unique_ptr<EventQueue> queue_;
    std::unique_ptr<BatchUploader> uploader_;  // after queue_: stops before it goes
};

}  // namespace telemetry
