#include "platform/speech/PulseAudioInput.h"

#include <pulse/pulseaudio.h>
#include <pulse/rtclock.h>

#include <cstring>

#include "platform/Logger.h"

namespace platform {

// Callbacks get the connection, not the input: it lives until its
// destructor, which holds the loop's lock while it unhooks them, has joined
// PulseAudio's thread.
struct PulseAudioInput::Connection {
    PulseAudioInput* owner = nullptr;
    pa_threaded_mainloop* loop = nullptr;
    pa_context* context = nullptr;
    pa_stream* stream = nullptr;
    pa_time_event* timeout = nullptr;
    bool timedOut = false;

    pa_mainloop_api* api() const { return pa_threaded_mainloop_get_api(loop); }
    std::string lastError() const {
        return context ? pa_strerror(pa_context_errno(context)) : "PulseAudio could not be set up";
    }

    // Waits, with the loop locked, until `done` holds or the answer timeout.
    template <class Done>
    bool wait(Done done) {
        while (!done()) {
            if (timedOut) return false;
            pa_threaded_mainloop_wait(loop);
        }
        return true;
    }

    ~Connection() {
        if (!loop) return;
        pa_threaded_mainloop_lock(loop);
        if (timeout) api()->time_free(timeout);
        if (stream) {
            // After this no callback of the stream runs again.
            pa_stream_set_read_callback(stream, nullptr, nullptr);
            pa_stream_set_state_callback(stream, nullptr, nullptr);
            pa_stream_disconnect(stream);
            pa_stream_unref(stream);
        }
        if (context) {
            pa_context_set_state_callback(context, nullptr, nullptr);
            pa_context_disconnect(context);
            pa_context_unref(context);
        }
        pa_threaded_mainloop_unlock(loop);
        pa_threaded_mainloop_stop(loop);
        pa_threaded_mainloop_free(loop);
    }
};

PulseAudioInput::PulseAudioInput() : PulseAudioInput(Options{}) {}

PulseAudioInput::PulseAudioInput(Options options) : options_(std::move(options)) {}

PulseAudioInput::~PulseAudioInput() { stop(); }

void PulseAudioInput::installTap(std::size_t bufferSize, TapHandler onBuffer) {
    const std::lock_guard lock(handlersMutex_);
    tap_ = std::move(onBuffer);
    bufferSize_ = bufferSize == 0 ? 1024 : bufferSize;
}

void PulseAudioInput::removeTap() {
    const std::lock_guard lock(handlersMutex_);
    tap_ = nullptr;
}

void PulseAudioInput::setFailureHandler(FailureHandler onFailure) {
    const std::lock_guard lock(handlersMutex_);
    onFailure_ = std::move(onFailure);
}

void PulseAudioInput::failStart(const std::string& what) {
    const std::string reason = connection_ ? connection_->lastError() : "PulseAudio could not be set up";
    if (connection_) pa_threaded_mainloop_unlock(connection_->loop);
    connection_.reset();
    logger_.error(what + ": " + reason);
    throw Error("PulseAudio", 1, what + ": " + reason);
}

void PulseAudioInput::start() {
    if (running_) return;
    connection_.reset();  // what is left of a capture that failed on its own
    pending_.clear();

    connection_ = std::make_unique<Connection>();
    Connection& c = *connection_;
    c.owner = this;
    c.loop = pa_threaded_mainloop_new();
    if (!c.loop || pa_threaded_mainloop_start(c.loop) < 0) {
        if (c.loop) pa_threaded_mainloop_free(c.loop);
        c.loop = nullptr;
        connection_.reset();
        throw Error("PulseAudio", 2, "Could not start PulseAudio's thread");
    }
    pa_threaded_mainloop_lock(c.loop);

    c.context = pa_context_new(c.api(), "Quillary");
    if (!c.context) failStart("Could not connect to the sound server");
    pa_context_set_state_callback(c.context, [](pa_context*, void* conn) { onStateChange(conn); }, &c);
    if (pa_context_connect(c.context, options_.server.empty() ? nullptr : options_.server.c_str(),
                           PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        failStart("Could not connect to the sound server");

    c.timeout = pa_context_rttime_new(
        c.context, pa_rtclock_now() + static_cast<pa_usec_t>(options_.answerTimeout.count()) * PA_USEC_PER_MSEC,
        [](pa_mainloop_api*, pa_time_event*, const struct timeval*, void* conn) {
            auto* connection = static_cast<Connection*>(conn);
            connection->timedOut = true;
            pa_threaded_mainloop_signal(connection->loop, 0);
        },
        &c);

    const auto contextSettled = [&c] {
        const pa_context_state_t state = pa_context_get_state(c.context);
        return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
    };
    if (!c.wait(contextSettled) || pa_context_get_state(c.context) != PA_CONTEXT_READY)
        failStart("Could not connect to the sound server");

    const pa_sample_spec spec{PA_SAMPLE_FLOAT32LE, 16000, 1};
    c.stream = pa_stream_new(c.context, "Voice input", &spec, nullptr);
    if (!c.stream) failStart("Could not open the microphone");
    pa_stream_set_state_callback(c.stream, [](pa_stream*, void* conn) { onStateChange(conn); }, &c);
    pa_stream_set_read_callback(c.stream, [](pa_stream*, std::size_t, void* conn) { onReadable(conn); }, &c);

    std::size_t bufferSize = 1024;
    {
        const std::lock_guard lock(handlersMutex_);
        bufferSize = bufferSize_;
    }
    pa_buffer_attr attr;
    std::memset(&attr, 0xff, sizeof attr);  // every field "server's choice"...
    attr.fragsize = static_cast<std::uint32_t>(bufferSize * sizeof(float));  // ...but deliver per buffer
    if (pa_stream_connect_record(c.stream, options_.source.empty() ? nullptr : options_.source.c_str(), &attr,
                                 PA_STREAM_ADJUST_LATENCY) < 0)
        failStart("Could not open the microphone");

    const auto streamSettled = [&c] {
        const pa_stream_state_t state = pa_stream_get_state(c.stream);
        return state == PA_STREAM_READY || !PA_STREAM_IS_GOOD(state);
    };
    if (!c.wait(streamSettled) || pa_stream_get_state(c.stream) != PA_STREAM_READY)
        failStart("Could not open the microphone");

    c.api()->time_free(c.timeout);
    c.timeout = nullptr;
    running_ = true;
    pa_threaded_mainloop_unlock(c.loop);
}

void PulseAudioInput::stop() {
    running_ = false;
    // Ends the stream under the loop's lock, so no tap call starts after,
    // then joins PulseAudio's thread; nothing waits for the source.
    connection_.reset();
}

void PulseAudioInput::onStateChange(void* connection) {
    const Connection& c = *static_cast<Connection*>(connection);
    pa_threaded_mainloop_signal(c.loop, 0);
    const bool contextLost = c.context && !PA_CONTEXT_IS_GOOD(pa_context_get_state(c.context));
    const bool streamLost = c.stream && !PA_STREAM_IS_GOOD(pa_stream_get_state(c.stream));
    if (contextLost || streamLost) c.owner->reportFailureIfRunning(c.lastError());
}

void PulseAudioInput::reportFailureIfRunning(const std::string& description) {
    if (!running_.exchange(false)) return;
    logger_.error("Recording from the microphone ended: " + description);
    FailureHandler onFailure;
    {
        const std::lock_guard lock(handlersMutex_);
        onFailure = onFailure_;
    }
    if (onFailure) onFailure(Error("PulseAudio", 3, "Recording from the microphone ended: " + description));
}

void PulseAudioInput::onReadable(void* connection) {
    const Connection& c = *static_cast<Connection*>(connection);
    c.owner->readAvailable(c.stream);
}

void PulseAudioInput::readAvailable(pa_stream* stream) {
    while (pa_stream_readable_size(stream) > 0) {
        const void* data = nullptr;
        std::size_t bytes = 0;
        if (pa_stream_peek(stream, &data, &bytes) < 0 || bytes == 0) break;
        // A hole (no data) is skipped: it holds no audio.
        if (data) {
            const auto* samples = static_cast<const float*>(data);
            pending_.insert(pending_.end(), samples, samples + bytes / sizeof(float));
        }
        pa_stream_drop(stream);
    }
    const std::lock_guard lock(handlersMutex_);
    std::size_t offset = 0;
    while (pending_.size() - offset >= bufferSize_) {
        if (tap_) tap_(AudioBuffer{outputFormat(), bufferSize_, pending_.data() + offset});
        offset += bufferSize_;
    }
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(offset));
}

}  // namespace platform
