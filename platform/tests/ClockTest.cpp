#include <gtest/gtest.h>

#include "platform/Clock.h"

using platform::iso8601;

TEST(Clock, Iso8601IsUtcWithMillisecondsAndCarriesRounding) {
    EXPECT_EQ(iso8601(0), "1970-01-01T00:00:00.000Z");
    EXPECT_EQ(iso8601(platform::kReferenceDateOffset + 0.5), "2001-01-01T00:00:00.500Z");
    EXPECT_EQ(iso8601(1796601599.25), "2026-12-06T23:59:59.250Z");
    EXPECT_EQ(iso8601(1796601599.9999), "2026-12-07T00:00:00.000Z");  // rounds into the next day
    EXPECT_EQ(iso8601(-0.25), "1969-12-31T23:59:59.750Z");
    EXPECT_EQ(iso8601(951782400.0), "2000-02-29T00:00:00.000Z");
}

TEST(Clock, ReferenceDateIsTheStartOf2001) {
    class Fixed : public platform::Clock {
    public:
        double now() const override { return 978307200.0 + 42.5; }
    };
    EXPECT_EQ(Fixed().nowSinceReferenceDate(), 42.5);
    const double now = platform::Clock::system()->now();
    EXPECT_GT(now, 1.7e9);  // a plausible present, in seconds not milliseconds
    EXPECT_LT(now, 1e10);
}
