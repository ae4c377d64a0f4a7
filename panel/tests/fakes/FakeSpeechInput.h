#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "panel/SpeechInput.h"

namespace panel::testing {

// A recogniser the test drives: it records starts and stops, fails to start
// when told, and hears silence, levels and transcripts when the test says.
class FakeSpeechInput final : public SpeechInput {
public:
    ~FakeSpeechInput() override { journal->push_back("destroyed"); }

    std::optional<std::string> startRecording(bool autoSubmit) override {
        starts.push_back(autoSubmit);
        journal->push_back("start");
        if (startFailure) return startFailure;
        recording = true;
        transcriptText.clear();
        return std::nullopt;
    }
    void stopRecording() override {
        ++stops;
        journal->push_back("stop");
        recording = false;
    }
    std::string transcript() const override { return transcriptText; }
    float audioLevel() const override { return level; }
    void setSilenceHandler(std::function<void(const platform::Notification&)> handler) override {
        silenceHandler = std::move(handler);
    }
    void setAudioLevelHandler(std::function<void(float)> handler) override { levelHandler = std::move(handler); }

    // The recogniser stops itself and reports the silence, as the real one
    // does after the configured delay. Nothing happens without a listener.
    void detectSilence(const std::string& transcript) {
        recording = false;
        platform::Notification notification{"speechRecognizerDidDetectSilence", {{"transcript", transcript}}};
        if (silenceHandler) silenceHandler(notification);
    }
    void hearLevel(float value) {
        level = value;
        if (levelHandler) levelHandler(value);
    }

    // What happened to it, in order; outlives it when the test keeps a copy.
    std::shared_ptr<std::vector<std::string>> journal = std::make_shared<std::vector<std::string>>();
    std::vector<bool> starts;  // autoSubmit of each start
    int stops = 0;
    bool recording = false;
    std::optional<std::string> startFailure;
    std::string transcriptText;
    float level = 0;
    std::function<void(const platform::Notification&)> silenceHandler;
    std::function<void(float)> levelHandler;
};

}  // namespace panel::testing
