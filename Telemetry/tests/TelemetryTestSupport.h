#pragma once

#include <zlib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Clock.h"
#include "platform/HttpClient.h"
#include "platform/Logger.h"
#include "testsupport/LogCapture.h"

namespace telemetry::test {

// What a standard gunzip does: zlib inflate with the gzip wrapper (window
// bits 31). Throws on anything that is not one complete gzip member.
inline std::string gunzip(std::string_view bytes) {
    z_stream z{};
    if (inflateInit2(&z, 31) != Z_OK) throw std::runtime_error("inflateInit2");
    std::unique_ptr<z_stream, int (*)(z_stream*)> guard(&z, inflateEnd);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    z.avail_in = static_cast<uInt>(bytes.size());
    std::string out;
    char buffer[16384];
    int rc = Z_OK;
    while (rc != Z_STREAM_END) {
        z.next_out = reinterpret_cast<Bytef*>(buffer);
        z.avail_out = sizeof buffer;
        rc = inflate(&z, Z_NO_FLUSH);
        if (rc != Z_OK && rc != Z_STREAM_END) throw std::runtime_error("not gzip: " + std::to_string(rc));
        out.append(buffer, sizeof buffer - z.avail_out);
        if (rc == Z_OK && z.avail_in == 0 && z.avail_out != 0) throw std::runtime_error("truncated gzip");
    }
    if (z.avail_in != 0) throw std::runtime_error("bytes after the gzip member");
    return out;
}

// A transport that records every request and answers with a scripted
// handler (200 by default). Thread-safe.
class RecordingHttpClient final : public platform::HttpClient {
public:
    using Handler = std::function<platform::HttpResponse(const platform::HttpRequest&)>;

    void setHandler(Handler handler) {
        std::lock_guard lock(mutex_);
        handler_ = std::move(handler);
    }

    platform::HttpResponse send(const platform::HttpRequest& request) override {
        Handler handler;
        {
            std::lock_guard lock(mutex_);
            requests_.push_back(request);
            handler = handler_;
        }
        changed_.notify_all();
        if (handler) return handler(request);
        platform::HttpResponse ok;
        ok.status = 200;
        return ok;
    }

    std::unique_ptr<platform::HttpStream> open(const platform::HttpRequest&) override {
        throw platform::URLError(platform::URLError::UnsupportedURL);
    }

    std::vector<platform::HttpRequest> requests() const {
        std::lock_guard lock(mutex_);
        return requests_;
    }

    // Waits (bounded, as a guard against a hung test) until `count` requests
    // came in; true if they did.
    bool waitForRequests(std::size_t count, std::chrono::seconds limit = std::chrono::seconds(10)) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, limit, [&] { return requests_.size() >= count; });
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<platform::HttpRequest> requests_;
    Handler handler_;
};

inline platform::HttpResponse status(int code) {
    platform::HttpResponse r;
    r.status = code;
    return r;
}

// A clock the test sets.
class FixedClock final : public platform::Clock {
public:
    explicit FixedClock(double seconds) : seconds_(seconds) {}
    double now() const override { return seconds_.load(); }
    void set(double seconds) { seconds_.store(seconds); }

private:
    std::atomic<double> seconds_;
};

using testsupport::LogCapture;

}  // namespace telemetry::test
