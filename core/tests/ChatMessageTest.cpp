#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "core/ChatMessage.h"

namespace core {
namespace {

class FixedClock : public platform::Clock {
public:
    double now() const override { return platform::kReferenceDateOffset + 757'000'000.25; }
};

TEST(ChatMessageTest, RolesUseTheirRawValues) {
    for (auto role : {MessageRole::user, MessageRole::assistant, MessageRole::system})
        EXPECT_EQ(messageRoleFromRaw(rawValue(role)), role);
    EXPECT_EQ(rawValue(MessageRole::assistant), "assistant");
    EXPECT_FALSE(messageRoleFromRaw("User"));
    EXPECT_FALSE(messageRoleFromRaw("tool"));
}

TEST(ChatMessageTest, MakeStampsFreshIdAndClockTime) {
    const FixedClock clock;
    const auto a = ChatMessage::make("hi", MessageRole::user, clock);
    const auto b = ChatMessage::make("hi", MessageRole::user, clock);
    EXPECT_NE(a.id, b.id);
    EXPECT_NE(a.id, platform::Uuid());
    EXPECT_DOUBLE_EQ(a.timestamp, 757'000'000.25);
}

TEST(ChatMessageTest, JsonRoundTripKeepsEveryField) {
    const auto original = ChatMessage::make("line one\nline \"two\" ✓", MessageRole::system);
    const auto json = original.toJson();
    EXPECT_EQ(json["role"], "system");
    EXPECT_EQ(json["id"], original.id.uuidString());
    const auto decoded = ChatMessage::fromJson(nlohmann::json::parse(json.dump()));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(*decoded, original);
}

TEST(ChatMessageTest, DecodingRefusesMissingOrWrongFields) {
    const auto good = ChatMessage::make("x", MessageRole::user).toJson();
    ASSERT_TRUE(ChatMessage::fromJson(good));
    for (const char* key : {"id", "content", "role", "timestamp"}) {
        auto missing = good;
        missing.erase(key);
        EXPECT_FALSE(ChatMessage::fromJson(missing)) << key;
    }
    auto badRole = good;
    badRole["role"] = "tool";
    EXPECT_FALSE(ChatMessage::fromJson(badRole));
    auto badId = good;
    badId["id"] = "not-a-uuid";
    EXPECT_FALSE(ChatMessage::fromJson(badId));
    auto badTime = good;
    badTime["timestamp"] = "yesterday";
    EXPECT_FALSE(ChatMessage::fromJson(badTime));
    EXPECT_FALSE(ChatMessage::fromJson(nlohmann::json::array()));
}

}  // namespace
}  // namespace core
