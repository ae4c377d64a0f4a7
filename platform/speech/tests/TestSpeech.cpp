#include "TestSpeech.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <random>

#include <gtest/gtest.h>


namespace speechtest {

namespace {

std::string quoted(const std::string& text) {
    std::string out = "'";
    for (const char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

}  // namespace

std::vector<float> spokenSamples(const std::string& text, double silenceBefore, double silenceAfter) {
    char folder[] = "/tmp/quillary-speech-XXXXXX";
    if (!mkdtemp(folder)) {
        std::cerr << "no temporary folder for the speech samples\n";
        return {};
    }
    const std::string wav = std::string(folder) + "/speech.wav";
    const std::string raw = std::string(folder) + "/speech.raw";
    const std::string command = "flite -voice kal16 -t " + quoted(text) + " -o " + wav + " && sox " + wav +
                                " -r 16000 -c 1 -e floating-point -b 32 -t raw " + raw + " pad " +
                                std::to_string(silenceBefore) + " " + std::to_string(silenceAfter);
    std::vector<float> samples;
    if (std::system(command.c_str()) == 0) {
        std::ifstream in(raw, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        samples.resize(bytes.size() / sizeof(float));
        std::copy(bytes.data(), bytes.data() + samples.size() * sizeof(float), reinterpret_cast<char*>(samples.data()));
        // Whole 1024-frame buffers, so that nothing of it waits in the sound
        // server for the next recording.
        samples.resize((samples.size() + 1023) / 1024 * 1024, 0.0F);
    }
    std::remove(wav.c_str());
    std::remove(raw.c_str());
    rmdir(folder);
    if (samples.empty()) std::cerr << "flite and sox made no speech (scripts/setup installs them)\n";
    return samples;
}

std::vector<float> silenceSamples(double seconds) {
    return std::vector<float>(static_cast<std::size_t>(seconds * 16000), 0.0F);
}

std::vector<float> noiseSamples(double seconds, float amplitude) {
    std::mt19937 random(17);
    std::uniform_real_distribution<float> noise(-amplitude, amplitude);
    std::vector<float> samples(static_cast<std::size_t>(seconds * 16000));
    for (auto& sample : samples) sample = noise(random);
    return samples;
}

std::string microphonePath() {
    const char* path = std::getenv("QUILLARY_TEST_MICROPHONE");
    if (!path || !*path) {
        ADD_FAILURE() << "QUILLARY_TEST_MICROPHONE is not set: the voice tests need the private PulseAudio that "
                         "scripts/test starts";
        return {};
    }
    return path;
}

void speakIntoMicrophone(const std::vector<float>& samples) {
    const std::string path = microphonePath();
    if (path.empty()) return;
    ASSERT_FALSE(samples.empty());
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0) << "cannot open the microphone FIFO " << path;
    const char* bytes = reinterpret_cast<const char*>(samples.data());
    std::size_t left = samples.size() * sizeof(float);
    while (left > 0) {
        const ssize_t written = ::write(fd, bytes, left);
        if (written <= 0) break;
        bytes += written;
        left -= static_cast<std::size_t>(written);
    }
    ::close(fd);
    EXPECT_EQ(left, 0u);
}

}  // namespace speechtest
