#include "core/ChatMessage.h"

#include <nlohmann/json.hpp>

namespace core {

std::string_view rawValue(MessageRole role) {
    switch (role) {
        case MessageRole::user: return "user";
        case MessageRole::assistant: return "assistant";
        case MessageRole::system: return "system";
    }
    return "user";
}

std::optional<MessageRole> messageRoleFromRaw(std::string_view raw) {
    if (raw == "user") return MessageRole::user;
    if (raw == "assistant") return MessageRole::assistant;
    if (raw == "system") return MessageRole::system;
    return std::nullopt;
}

ChatMessage ChatMessage::make(std::string content, Role role, const platform::Clock& clock) {
    return ChatMessage{platform::Uuid::random(), std::move(content), role, clock.nowSinceReferenceDate()};
}

nlohmann::json ChatMessage::toJson() const {
    return nlohmann::json{
        {"id", id.uuidString()}, {"content", content}, {"role", rawValue(role)}, {"timestamp", timestamp}};
}

std::optional<ChatMessage> ChatMessage::fromJson(const nlohmann::json& json) {
    if (!json.is_object()) return std::nullopt;
    const auto id = json.find("id");
    const auto content = json.find("content");
    const auto role = json.find("role");
    const auto timestamp = json.find("timestamp");
    if (id == json.end() || !id->is_string() || content == json.end() || !content->is_string() || role == json.end() ||
        !role->is_string() || timestamp == json.end() || !timestamp->is_number())
        return std::nullopt;
    const auto uuid = platform::Uuid::parse(id->get_ref<const std::string&>());
    const auto messageRole = messageRoleFromRaw(role->get_ref<const std::string&>());
    if (!uuid || !messageRole) return std::nullopt;
    return ChatMessage{*uuid, content->get<std::string>(), *messageRole, timestamp->get<double>()};
}

}  // namespace core
