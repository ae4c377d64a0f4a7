#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/LoginItemService.h"

namespace platform {

// A login-item registry in memory: records "register" and "unregister" in
// order, and fails either with the given description when asked to.
class FakeLoginItemService final : public LoginItemService {
public:
    LoginItemStatus status() const override { return current; }
    void register_() override;
    void unregister() override;

    LoginItemStatus current = LoginItemStatus::NotRegistered;
    // What a successful registration leaves (RequiresApproval, say).
    LoginItemStatus afterRegister = LoginItemStatus::Enabled;
    std::optional<std::string> registerFailure;
    std::optional<std::string> unregisterFailure;
    std::vector<std::string> calls;
};

}  // namespace platform
