// The pure rules behind the panel's drawings: the waveform's bar heights and
// the provider images the model icon draws.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "ui/ModelIconName.h"
#include "panel/VoiceWaveform.h"
#include "ui/SymbolIcon.h"

namespace panel {
namespace {

TEST(VoiceWaveformBars, FollowTheLevelTable) {
    struct Case {
        float level;
        double heights[3];
    };
    const Case cases[] = {
        {0.0f, {7.2, 7.2, 7.2}},   {0.05f, {7.2, 7.2, 7.2}},  {0.1f, {7.2, 7.2, 7.2}},
        {0.3f, {13.6, 15.2, 16.8}}, {0.5f, {20.0, 20.0, 20.0}}, {1.0f, {20.0, 20.0, 20.0}},
        {7.0f, {20.0, 20.0, 20.0}},
    };
    for (const Case& c : cases)
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(VoiceWaveform::barHeight(true, c.level, i), c.heights[i], 1e-5) << c.level << " bar " << i;
}

TEST(VoiceWaveformBars, JustAboveTheFloorEachLaterBarStandsHigher) {
    // 0.11: f = 0.22, 0.32, 0.42.
    EXPECT_NEAR(VoiceWaveform::barHeight(true, 0.11f, 0), 4 + 16 * 0.22, 1e-5);
    EXPECT_LT(VoiceWaveform::barHeight(true, 0.11f, 0), VoiceWaveform::barHeight(true, 0.11f, 1));
    EXPECT_LT(VoiceWaveform::barHeight(true, 0.11f, 1), VoiceWaveform::barHeight(true, 0.11f, 2));
}

TEST(VoiceWaveformBars, NotRecordingOrNoNumberGiveTheRestingHeights) {
    for (float level : {0.0f, 0.3f, 1.0f})
        for (int i = 0; i < 3; ++i) EXPECT_EQ(VoiceWaveform::barHeight(false, level, i), 4.0);
    for (float level : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                        -std::numeric_limits<float>::infinity()})
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(VoiceWaveform::barHeight(true, level, i), 7.2, 1e-9);
    EXPECT_NEAR(VoiceWaveform::barHeight(true, -0.5f, 0), 7.2, 1e-9);
}

TEST(ModelIconImages, EveryProviderNameHasAnImageInTheRegistry) {
    const core::ModelInfo models[] = {
        {"GPT-4o", "gpt-4o", true},       {"Claude", "claude-3-5-haiku-latest", true},
        {"Gemini", "gemini-1.5-flash", true}, {"Llama", "llama3.2", true},
        {"Qwen 2", "qwen2", true},        {"", "", true},
    };
    for (const auto& model : models) {
        const std::string_view name = ui::iconName(model);
        EXPECT_TRUE(ui::SymbolIcon::has(name)) << name;
        EXPECT_FALSE(ui::SymbolIcon::path(name).isEmpty()) << name;
    }
}

}  // namespace
}  // namespace panel
