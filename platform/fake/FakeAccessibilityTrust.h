#pragma once

#include "platform/AccessibilityTrust.h"

namespace platform {

// Answers what the test sets and counts every probe by form.
class FakeAccessibilityTrust final : public AccessibilityTrust {
public:
    explicit FakeAccessibilityTrust(bool trusted = false) : trusted(trusted) {}

    bool isProcessTrusted() override;
    bool isProcessTrustedWithOptions(bool prompt) override;

    bool trusted;
    int plainCalls = 0;
    int optionsCalls = 0;  // without the prompt
    int promptCalls = 0;
};

}  // namespace platform
