#include "platform/fake/FakeAccessibilityTrust.h"

namespace platform {

bool FakeAccessibilityTrust::isProcessTrusted() {
    ++plainCalls;
    return trusted;
}

bool FakeAccessibilityTrust::isProcessTrustedWithOptions(bool prompt) {
    ++(prompt ? promptCalls : optionsCalls);
    return trusted;
}

}  // namespace platform
