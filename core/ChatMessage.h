#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json_fwd.hpp>

#include "platform/Clock.h"
#include "platform/Uuid.h"

namespace core {

// One turn of a chat kept by the panel: the captured selection (system), a
// prompt (user) or an answer (assistant). The list of them is sent as the
// history of the next request.
struct ChatMessage {
    // The raw values are also the wire roles of the OpenAI, Anthropic and
    // Ollama message lists.
    enum class Role { user, assistant, system };

    platform::Uuid id;
    std::string content;
    Role role = Role::user;
    double timestamp = 0;  // seconds since 2001-01-01 UTC, the stored records' reference date

    // A new message with a fresh random id, stamped with the clock's time.
    static ChatMessage make(std::string content, Role role, const platform::Clock& clock = *platform::Clock::system());

    // JSON with the keys "id", "content", "role" and "timestamp"; all four are
    // required when decoding, and a role outside the three gives nothing.
    nlohmann::json toJson() const;
    static std::optional<ChatMessage> fromJson(const nlohmann::json& json);

    friend bool operator==(const ChatMessage&, const ChatMessage&) = default;
};

using MessageRole = ChatMessage::Role;

std::string_view rawValue(MessageRole role);
std::optional<MessageRole> messageRoleFromRaw(std::string_view raw);

}  // namespace core
