#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "Telemetry/Gzip.h"
#include "Telemetry/TelemetryConfig.h"
#include "Telemetry/TimeOrderedIdGenerator.h"
#include "TelemetryTestSupport.h"

namespace telemetry {
namespace {

TEST(TelemetryConfigTest, UnusableHostsFallBackToTheDefault) {
    for (const char* host : {"", "not a url", "ftp://example.com", "http://", "https:///batch", "https://:443",
                             "https://exa mple.com", "https://example.com/?q=1", "https://example.com#x",
                             "example.com", "https://ex\xc3\xa4mple.com"}) {
        EXPECT_EQ(TelemetryConfig("key", host).host, TelemetryConfig::kDefaultHost) << host;
    }
}

TEST(TelemetryConfigTest, UsableHostsAreKeptWithoutTrailingSlash) {
    EXPECT_EQ(TelemetryConfig("key", "http://127.0.0.1:8080").host, "http://127.0.0.1:8080");
    EXPECT_EQ(TelemetryConfig("key", "https://example.com/").host, "https://example.com");
    EXPECT_EQ(TelemetryConfig("key", "HTTPS://example.com/ingest//").host, "HTTPS://example.com/ingest");
    EXPECT_EQ(TelemetryConfig("key", "http://[::1]:9000").host, "http://[::1]:9000");

    const TelemetryConfig config("key", "https://example.com");
    EXPECT_EQ(config.apiKey, "key");
    EXPECT_TRUE(config.captureApplicationLifecycleEvents);
}

TEST(TimeOrderedIdGeneratorTest, IdentifiersCarryTheTimeAndTheVersion7Layout) {
    TimeOrderedIdGenerator ids;
    const auto id = ids.next(1'700'000'000.123);
    const auto& b = id.bytes();
    std::uint64_t millis = 0;
    for (int i = 0; i < 6; ++i) millis = (millis << 8) | b[static_cast<std::size_t>(i)];
    EXPECT_EQ(millis, 1'700'000'000'123u);
    EXPECT_EQ(b[6] >> 4, 7);
    EXPECT_EQ(b[8] >> 6, 2);  // RFC variant
}

TEST(TimeOrderedIdGeneratorTest, TextSortsInCreationOrderEvenWithinOneMillisecondOrWhenTheClockStepsBack) {
    TimeOrderedIdGenerator ids;
    std::vector<std::string> made;
    // 5000 in one millisecond spends the 12-bit counter more than once.
    for (int i = 0; i < 5000; ++i) made.push_back(ids.next(1'700'000'000.0).uuidString());
    for (int i = 0; i < 10; ++i) made.push_back(ids.next(1'600'000'000.0).uuidString());  // clock stepped back
    made.push_back(ids.next(1'800'000'000.0).uuidString());
    for (std::size_t i = 1; i < made.size(); ++i) ASSERT_LT(made[i - 1], made[i]) << "at " << i;
}

TEST(GzipTest, StandardInflateReadsBackEveryInput) {
    std::mt19937 random(7);
    std::string noise(300'000, '\0');  // incompressible: the output outgrows its first guess
    for (auto& c : noise) c = static_cast<char>(random());
    std::string text;
    for (int i = 0; i < 20'000; ++i) text += R"({"event":"model_used","n":)" + std::to_string(i) + "}";

    for (const std::string& input : {std::string(), std::string("x"), text, noise}) {
        const auto packed = gzipCompress(input);
        ASSERT_GE(packed.size(), 18u);
        EXPECT_EQ(static_cast<unsigned char>(packed[0]), 0x1f);  // gzip magic, deflate method
        EXPECT_EQ(static_cast<unsigned char>(packed[1]), 0x8b);
        EXPECT_EQ(static_cast<unsigned char>(packed[2]), 0x08);
        EXPECT_EQ(test::gunzip(packed), input);
    }
    EXPECT_LT(gzipCompress(text).size(), text.size() / 5);
}

}  // namespace
}  // namespace telemetry
