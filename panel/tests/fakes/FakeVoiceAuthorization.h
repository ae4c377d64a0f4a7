#pragma once

#include <functional>
#include <vector>

#include "panel/VoiceAuthorization.h"

namespace panel::testing {

// Authorisation the test decides. Requests are answered at once with
// `grantMicrophone` / `authorizeSpeech`, or kept for the test to answer
// (from any thread) when `holdRequests` is set.
class FakeVoiceAuthorization final : public VoiceAuthorization {
public:
    MicrophoneStatus microphoneStatus() const override { return status; }
    void requestMicrophoneAccess(std::function<void(bool)> completion) override {
        ++microphoneRequests;
        if (holdRequests)
            heldMicrophoneRequests.push_back(std::move(completion));
        else
            completion(grantMicrophone);
    }
    void requestSpeechRecognitionAuthorization(std::function<void(bool)> completion) override {
        ++speechRequests;
        completion(authorizeSpeech);
    }
    void openMicrophoneSettings() override { ++settingsOpened; }

    MicrophoneStatus status = MicrophoneStatus::authorized;
    bool grantMicrophone = true;
    bool authorizeSpeech = true;
    bool holdRequests = false;
    std::vector<std::function<void(bool)>> heldMicrophoneRequests;
    int microphoneRequests = 0;
    int speechRequests = 0;
    int settingsOpened = 0;
};

}  // namespace panel::testing
