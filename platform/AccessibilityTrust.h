#pragma once

namespace platform {

// Whether this process may read and drive other programs' text: what the
// desktop's accessibility trust answers. Main thread only.
class AccessibilityTrust {
public:
    virtual ~AccessibilityTrust() = default;

    // The plain probe; never asks the user anything.
    virtual bool isProcessTrusted() = 0;

    // The same answer; with `prompt` the desktop may show its own dialog that
    // asks the user to grant trust (where it has one). Never blocks on the
    // user and never runs the event loop.
    virtual bool isProcessTrustedWithOptions(bool prompt) = 0;
};

}  // namespace platform
