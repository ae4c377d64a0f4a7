#include <gtest/gtest.h>

#include "panel/LinuxVoiceAuthorization.h"
#include "platform/fake/FakeSettingsLink.h"

namespace panel {
namespace {

TEST(LinuxVoiceAuthorization, EverythingIsAuthorisedAtOnceAndSettingsMeansTheSoundSettings) {
    auto link = std::make_shared<platform::FakeSettingsLink>();
    LinuxVoiceAuthorization auth(link);
    EXPECT_EQ(auth.microphoneStatus(), MicrophoneStatus::authorized);
    int answers = 0;
    auth.requestMicrophoneAccess([&](bool granted) { answers += granted; });
    auth.requestSpeechRecognitionAuthorization([&](bool authorized) { answers += authorized; });
    EXPECT_EQ(answers, 2);

    auth.openMicrophoneSettings();
    EXPECT_EQ(link->opened, std::vector<platform::SettingsPane>{platform::SettingsPane::Microphone});
}

}  // namespace
}  // namespace panel
