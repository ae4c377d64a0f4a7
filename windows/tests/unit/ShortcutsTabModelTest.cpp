#include <gtest/gtest.h>

#include <QLocale>
#include <limits>
#include <memory>

#include "fakes/SettingsHarness.h"
#include "windows/ShortcutsTabModel.h"

namespace windows {
namespace {

using testing::SettingsHarness;

TEST(ShortcutsTabModel, TheDelayReadsTwoSecondsAndStoresNothingUntilTheSliderMoves) {
    SettingsHarness h;
    ShortcutsTabModel model(h.defaults);
    EXPECT_EQ(model.silenceDuration(), 2.0);
    EXPECT_EQ(model.sliderPosition(), 2);
    EXPECT_EQ(model.delayText(), "2.0 seconds");
    EXPECT_FALSE(h.defaults->contains("silenceDuration"));

    for (int position = 0; position <= ShortcutsTabModel::kSliderSteps; ++position) {
        model.setSliderPosition(position);
        EXPECT_EQ(h.defaults->double_("silenceDuration"), 1.0 + 0.5 * position);  // exact multiples of 0.5
        EXPECT_EQ(model.sliderPosition(), position);
    }
    EXPECT_EQ(model.delayText(), "5.0 seconds");
    model.setSliderPosition(0);
    EXPECT_EQ(model.delayText(), "1.0 seconds");
    EXPECT_TRUE(h.sink->events.empty());  // the delay is no analytics event
}

TEST(ShortcutsTabModel, StoredValuesOutsideTheStepsSitOnTheNearestStepAndShowAsStored) {
    SettingsHarness h;
    ShortcutsTabModel model(h.defaults);
    const struct {
        double stored;
        int position;
        const char* text;
    } cases[] = {{7.0, 8, "7.0 seconds"},      {0.0, 0, "0.0 seconds"}, {-3.0, 0, "-3.0 seconds"},
                 {2.3, 3, "2.3 seconds"},      {4.7, 7, "4.7 seconds"}, {1e300, 8, nullptr},
                 {std::numeric_limits<double>::quiet_NaN(), 2, nullptr}};
    for (const auto& c : cases) {
        h.defaults->setDouble("silenceDuration", c.stored);
        EXPECT_EQ(model.sliderPosition(), c.position) << c.stored;
        if (c.text) {
            EXPECT_EQ(model.delayText(), c.text);
        }
    }
    // A whole number or a text under the key.
    h.defaults->setInteger("silenceDuration", 3);
    EXPECT_EQ(model.silenceDuration(), 3.0);
    h.defaults->setString("silenceDuration", "4");
    EXPECT_EQ(model.silenceDuration(), 2.0);
}

TEST(ShortcutsTabModel, TheTextUsesAFullStopInEveryLocale) {
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German));
    EXPECT_EQ(ShortcutsTabModel::delayText(2.5), "2.5 seconds");
    QLocale::setDefault(previous);
}

}  // namespace
}  // namespace windows
