#pragma once

#include <string_view>

namespace platform {

// Whether a host, as a URL names it, is this machine: localhost, an address
// of 127.0.0.0/8 or [::1] (in brackets, as in a URL).
bool isLoopbackHost(std::string_view host);

// Whether an address is a plain http(s) URL of this machine, read strictly:
// "http://" or "https://" (in any case), a loopback host, an optional port,
// then nothing or a path, query or fragment; printable ASCII only, with no
// user info and no backslash, which other readers of URLs understand
// differently. The test hooks that redirect the program's traffic log and
// ignore anything else. The transport checks the hooks' requests again on
// the address as it parses it for connecting (HttpRequest::loopbackOnly).
bool isLoopbackUrl(std::string_view url);

}  // namespace platform
