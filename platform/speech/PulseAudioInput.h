#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/AudioInput.h"
#include "platform/Logger.h"

struct pa_stream;

namespace platform {

// The microphone through PulseAudio's asynchronous API: a threaded main loop
// and a record stream of mono float samples at 16 kHz, cut into buffers of
// the tap's size. The tap and the failure handler run on PulseAudio's thread.
class PulseAudioInput final : public AudioInput {
public:
    struct Options {
        // Empty: the user's server (PULSE_SERVER, then the usual places).
        std::string server;
        // Empty: the server's default source.
        std::string source;
        // Longest wait in `start` for a server that accepted the connection
        // but does not answer.
        std::chrono::milliseconds answerTimeout{5000};
    };

    PulseAudioInput();
    explicit PulseAudioInput(Options options);
    ~PulseAudioInput() override;
    PulseAudioInput(const PulseAudioInput&) = delete;
    PulseAudioInput& operator=(const PulseAudioInput&) = delete;

    AudioFormat outputFormat() const override { return {16000.0, 1}; }
    void installTap(std::size_t bufferSize, TapHandler onBuffer) override;
    void removeTap() override;
    void setFailureHandler(FailureHandler onFailure) override;
    void start() override;
    void stop() override;
    bool isRunning() const override { return running_; }

private:
    struct Connection;
    static void onStateChange(void* connection);
    static void onReadable(void* connection);
    void readAvailable(pa_stream* stream);
    void reportFailureIfRunning(const std::string& description);
    [[noreturn]] void failStart(const std::string& what);

    const Options options_;
    const Logger logger_{"quillary", "audio"};
    std::unique_ptr<Connection> connection_;  // made and ended on the caller's thread
    std::atomic<bool> running_{false};

    std::mutex handlersMutex_;
    TapHandler tap_;
    FailureHandler onFailure_;
    std::size_t bufferSize_ = 1024;

    std::vector<float> pending_;  // PulseAudio's thread only
};

}  // namespace platform
