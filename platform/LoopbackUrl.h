#pragma once

#include <string_view>

namespace platform {

// Whether an http(s) address names this machine: localhost, 127.0.0.0/8 or
// ::1. An address with user info ("user@host") never does, since it could
// hide the real host. The test hooks that redirect the program's traffic
// accept only such addresses, so no environment can send data off the
// machine.
bool isLoopbackUrl(std::string_view url);

}  // namespace platform
