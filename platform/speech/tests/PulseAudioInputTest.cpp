#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <vector>

#include "TestSpeech.h"
#include "platform/speech/PulseAudioInput.h"
#include "testsupport/LogCapture.h"

extern char** environ;

namespace {

using platform::PulseAudioInput;
using namespace std::chrono_literals;

// What the tap and the failure handler received, for the test to wait on.
struct Received {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<float> samples;
    std::vector<std::size_t> bufferSizes;
    std::optional<std::string> failure;

    void install(PulseAudioInput& input) {
        input.installTap(1024, [this](const platform::AudioBuffer& buffer) {
            const std::lock_guard lock(mutex);
            bufferSizes.push_back(buffer.frameLength);
            samples.insert(samples.end(), buffer.floatData, buffer.floatData + buffer.frameLength);
            changed.notify_all();
        });
        input.setFailureHandler([this](const platform::Error& error) {
            const std::lock_guard lock(mutex);
            failure = error.description();
            changed.notify_all();
        });
    }
    template <class Done>
    bool waitFor(Done done) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, 30s, [&] { return done(*this); });
    }
};

std::string startError(PulseAudioInput& input) {
    try {
        input.start();
    } catch (const platform::Error& error) {
        return error.description();
    }
    return "";
}

TEST(PulseAudioInput, RecordsTheMicrophoneIn1024FrameBuffersAndStopsWithoutWaitingForIt) {
    PulseAudioInput input;
    Received received;
    received.install(input);
    ASSERT_EQ(startError(input), "");
    EXPECT_TRUE(input.isRunning());

    const auto speech = speechtest::spokenSamples("hello", 0.1, 0.1);
    speechtest::speakIntoMicrophone(speech);
    ASSERT_TRUE(received.waitFor([&](Received& r) { return r.samples.size() >= speech.size(); }));
    {
        const std::lock_guard lock(received.mutex);
        EXPECT_EQ(std::vector<float>(received.samples.begin(), received.samples.begin() + static_cast<std::ptrdiff_t>(speech.size())),
                  speech);
        for (const auto size : received.bufferSizes) EXPECT_EQ(size, 1024u);
    }
    // The microphone now delivers nothing; stop returns all the same.
    input.stop();
    EXPECT_FALSE(input.isRunning());
    input.stop();

    // It starts again.
    ASSERT_EQ(startError(input), "");
    speechtest::speakIntoMicrophone(std::vector<float>(1024, 0.5F));
    ASSERT_TRUE(received.waitFor([&](Received& r) { return r.samples.size() >= speech.size() + 1024; }));
    EXPECT_EQ(received.samples.back(), 0.5F);
}

TEST(PulseAudioInput, NoServerOrNoSourceIsAClearStartError) {
    testsupport::LogCapture log;
    PulseAudioInput noServer({"unix:/nonexistent/quillary/native", "", 5000ms});
    EXPECT_EQ(startError(noServer), "Could not connect to the sound server: Connection refused");
    EXPECT_FALSE(noServer.isRunning());

    PulseAudioInput noSource({"", "no-such-microphone", 5000ms});
    EXPECT_EQ(startError(noSource), "Could not open the microphone: No such entity");
    EXPECT_FALSE(noSource.isRunning());
    EXPECT_TRUE(log.contains("Could not open the microphone: No such entity"));
}

// A second private server that the test stops while recording.
class DisposableServer {
public:
    DisposableServer() {
        char dir[] = "/tmp/quillary-pulse-XXXXXX";
        folder_ = mkdtemp(dir);
        {
            std::ofstream script(folder_ + "/server.pa");
            script << "load-module module-native-protocol-unix socket=" << folder_ << "/native auth-anonymous=1\n"
                   << "load-module module-null-sink sink_name=speakers\n"
                   << "set-default-source speakers.monitor\n";
        }
        const std::string script = folder_ + "/server.pa";
        const std::string home = "HOME=" + folder_;
        const std::string runtime = "XDG_RUNTIME_DIR=" + folder_;
        std::vector<std::string> args{"pulseaudio", "-n", "-F", script, "--daemonize=no", "--exit-idle-time=-1",
                                      "--use-pid-file=no", "--disable-shm=yes", "--log-target=file:" + folder_ + "/log"};
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        std::vector<std::string> env{home, runtime, "PATH=/usr/bin:/bin"};
        std::vector<char*> envp;
        for (auto& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);
        if (posix_spawnp(&pid_, "pulseaudio", nullptr, nullptr, argv.data(), envp.data()) != 0) pid_ = 0;
    }
    ~DisposableServer() {
        stop();
        std::system(("rm -rf " + folder_).c_str());
    }
    std::string address() const { return "unix:" + folder_ + "/native"; }
    bool running() const { return pid_ > 0; }
    void stop() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        pid_ = 0;
    }

private:
    std::string folder_;
    pid_t pid_ = 0;
};

TEST(PulseAudioInput, AServerThatGoesAwayEndsTheRecordingThroughTheFailureHandler) {
    DisposableServer server;
    ASSERT_TRUE(server.running());
    PulseAudioInput input({server.address(), "", 5000ms});
    Received received;
    received.install(input);
    // The server takes a moment to open its socket.
    std::string error = "not started";
    for (int attempt = 0; attempt < 100 && !error.empty(); ++attempt) {
        error = startError(input);
        if (!error.empty()) std::this_thread::sleep_for(50ms);
    }
    ASSERT_EQ(error, "");
    server.stop();
    ASSERT_TRUE(received.waitFor([](Received& r) { return r.failure.has_value(); }));
    EXPECT_EQ(*received.failure, "Recording from the microphone ended: Connection terminated");
    EXPECT_FALSE(input.isRunning());
    input.stop();
}

}  // namespace
