#include <gtest/gtest.h>

#include <set>
#include <string>

#include "panel/LinuxVoiceAuthorization.h"

namespace panel {
namespace {

using Command = std::optional<std::vector<std::string>>;

TEST(LinuxVoiceAuthorization, EverythingIsAuthorisedAtOnce) {
    LinuxVoiceAuthorization auth;
    EXPECT_EQ(auth.microphoneStatus(), MicrophoneStatus::authorized);
    int answers = 0;
    auth.requestMicrophoneAccess([&](bool granted) { answers += granted; });
    auth.requestSpeechRecognitionAuthorization([&](bool authorized) { answers += authorized; });
    EXPECT_EQ(answers, 2);
}

TEST(LinuxVoiceAuthorization, SoundSettingsOfKnownDesktopsWhenTheirProgramIsInstalled) {
    const std::set<std::string> installed = {"gnome-control-center", "systemsettings"};
    const auto has = [&](std::string_view p) { return installed.count(std::string(p)) > 0; };
    const auto none = [](std::string_view) { return false; };

    const Command gnome = std::vector<std::string>{"gnome-control-center", "sound"};
    EXPECT_EQ(LinuxVoiceAuthorization::soundSettingsCommand("GNOME", has), gnome);
    EXPECT_EQ(LinuxVoiceAuthorization::soundSettingsCommand("ubuntu:GNOME", has), gnome);
    EXPECT_EQ(LinuxVoiceAuthorization::soundSettingsCommand("Budgie:GNOME", has), gnome);
    EXPECT_EQ(LinuxVoiceAuthorization::soundSettingsCommand("KDE", has),
              (Command{{"systemsettings", "kcm_pulseaudio"}}));

    // Unknown desktops, parts of names, no desktop, or the program missing.
    EXPECT_EQ(LinuxVoiceAuthorization::soundSettingsCommand("XFCE", has), std::nullopt);
    EXPECT_EQ(LinuxVoiceAuthorization::soundSettingsCommand("GNOME-Flashback-ish", has), std::nullopt);
    EXPECT_EQ(LinuxVoiceAuthorization::soundSettingsCommand("", has), std::nullopt);
    EXPECT_EQ(LinuxVoiceAuthorization::soundSettingsCommand("GNOME", none), std::nullopt);
}

}  // namespace
}  // namespace panel
