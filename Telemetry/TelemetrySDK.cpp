#include "Telemetry/TelemetrySDK.h"

#include <sys/utsname.h>

#include <cstdlib>
#include <type_traits>
#include <utility>
#include <variant>

#include "Telemetry/BatchUploader.h"
#include "Telemetry/EventQueue.h"
#include "Telemetry/StoredValues.h"
#include "Telemetry/TelemetryLog.h"
#include "platform/DeferredHttpClient.h"
#include "platform/Installed.h"
#include "platform/LibraryDefaults.h"
#include "platform/Required.h"
#include "platform/linux/XdgConfigHome.h"

#ifndef QUILLARY_APP_VERSION
#define QUILLARY_APP_VERSION "0.0.0"
#endif

namespace telemetry {
namespace {

constexpr const char* kDistinctIdKey = "telemetry.distinctId";
// Present once the client has started on this account; its absence marks the
// first start.
constexpr const char* kInstalledVersionKey = "telemetry.installedVersion";
constexpr const char* kAppName = "Quillary";

nlohmann::json contextProperties(const std::string& sessionId) {
    std::string os = "Linux";
    std::string osVersion;
    if (utsname name{}; ::uname(&name) == 0) {
        os = name.sysname;
        osVersion = name.release;
    }
    return {
        {"$os", os},
        {"$os_version", osVersion},
        {"$app_name", kAppName},
        {"$app_version", QUILLARY_APP_VERSION},
        {"$session_id", sessionId},
    };
}

nlohmann::json toJson(const platform::AnalyticsValue& value) {
    return std::visit([](const auto& v) { return nlohmann::json(v); }, value);
}

}  // namespace

TelemetrySDK::TelemetrySDK(Dependencies dependencies)
    : http_(platform::required(std::move(dependencies.http), "TelemetrySDK: the HTTP client")),
      clock_(dependencies.clock ? std::move(dependencies.clock) : platform::Clock::system()),
      timer_(dependencies.timer ? std::move(dependencies.timer) : platform::MonotonicClock::steady()),
      folder_(dependencies.folder.empty() ? defaultFolder() : std::move(dependencies.folder)) {}

TelemetrySDK::~TelemetrySDK() = default;

namespace {
std::shared_ptr<TelemetrySDK> makeShared() {
    return platform::LibraryDefaults::make<TelemetrySDK>(
        "the shared telemetry client",
        [] {
            // Made first, so that exit destroys it only after the uploads
            // that write to it were stopped.
            (void)log();
            return std::make_shared<TelemetrySDK>(TelemetrySDK::Dependencies{platform::HttpClient::shared(), {}, {}});
        },
        platform::LibraryDefaults::Ending::stopUploads, [](TelemetrySDK& client) { client.stopUploads(); });
}

// What a late capture reaches after the program uninstalled its client: one
// never set up, which drops it, and whose transport could send nothing.
std::shared_ptr<TelemetrySDK> makeInert() {
    auto none = std::make_shared<platform::DeferredHttpClient>([]() -> std::shared_ptr<platform::HttpClient> {
        throw platform::URLError(platform::URLError::Unknown, "The program has ended: nothing is sent any more");
    });
    return std::make_shared<TelemetrySDK>(TelemetrySDK::Dependencies{std::move(none), {}, {}});
}

platform::Installed<TelemetrySDK>& sharedSlot() {
    static auto* const slot =
        new platform::Installed<TelemetrySDK>("the shared telemetry client", &makeShared, &makeInert);
    return *slot;
}
}  // namespace

void TelemetrySDK::stopUploads() {
    std::lock_guard lock(setupMutex_);
    if (uploader_) uploader_->stop();
}

std::shared_ptr<TelemetrySDK> TelemetrySDK::sharedPointer() { return sharedSlot().get(); }

void TelemetrySDK::install(std::shared_ptr<TelemetrySDK> client) { sharedSlot().install(std::move(client)); }

TelemetrySDK& TelemetrySDK::shared() { return *sharedPointer(); }

std::filesystem::path TelemetrySDK::defaultFolder() {
    return platform::xdgDataHome() / "quillary" / "telemetry";
}

void TelemetrySDK::setup(const TelemetryConfig& config) {
    bool firstStart = false;
    {
        std::lock_guard lock(setupMutex_);
        if (isSetUp()) {
            log().debug("[Telemetry] already set up: setup ignored");
            return;
        }
        if (config.apiKey.empty()) {
            log().info("[Telemetry] no project key: analytics off");
            return;
        }
        try {
            const double now = clock_->now();
            stored_ = std::make_unique<StoredValues>(folder_);
            if (auto id = stored_->get(kDistinctIdKey); id && id->is_string() && !id->get<std::string>().empty()) {
                distinctId_ = id->get<std::string>();
            } else {
                distinctId_ = ids_.next(now).uuidString();
                stored_->set(kDistinctIdKey, distinctId_);  // on failure: this run keeps it in memory
            }
            firstStart = !stored_->get(kInstalledVersionKey).has_value();
            sessionId_ = ids_.next(now).uuidString();
            context_ = contextProperties(sessionId_);
            queue_ = std::make_unique<EventQueue>(folder_ / "queue", config.maxQueueSize);
            uploader_ = std::make_unique<BatchUploader>(*queue_, http_, clock_, timer_, config);
        } catch (const std::exception& e) {
            // The application goes on without analytics.
            log().error(std::string("[Telemetry] set-up failed: ") + platform::outsideText(e.what()));
            uploader_.reset();
            queue_.reset();
            return;
        }
        setUp_.store(true, std::memory_order_release);
    }
    if (config.captureApplicationLifecycleEvents) {
        if (firstStart) capture("Application Installed");
        capture("Application Opened");
    }
    if (firstStart) stored_->set(kInstalledVersionKey, QUILLARY_APP_VERSION);
}

void TelemetrySDK::capture(const std::string& event, const platform::AnalyticsProperties& properties) {
    if (!isSetUp()) return;
    try {
        const double now = clock_->now();
        const std::string uuid = ids_.next(now).uuidString();
        nlohmann::json merged = context_;
        for (const auto& [key, value] : properties) merged[key] = toJson(value);
        const nlohmann::json record = {
            {"event", event},
            {"distinct_id", distinctId_},
            {"properties", std::move(merged)},
            {"timestamp", platform::iso8601(now)},
            {"uuid", uuid},
        };
        queue_->add(uuid, record);
        uploader_->eventAdded();
    } catch (const std::exception& e) {
        log().error("[Telemetry] could not capture \"" + event + "\": " + platform::outsideText(e.what()));
    } catch (...) {
        log().error("[Telemetry] could not capture \"" + event + "\"");
    }
}

void TelemetrySDK::flush() {
    if (isSetUp()) uploader_->flush();
}

std::size_t TelemetrySDK::queuedEventCount() const { return isSetUp() ? queue_->size() : 0; }

std::string TelemetrySDK::distinctId() const { return isSetUp() ? distinctId_ : std::string(); }

std::string TelemetrySDK::sessionId() const { return isSetUp() ? sessionId_ : std::string(); }

}  // namespace telemetry
