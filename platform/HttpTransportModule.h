#pragma once

#include <memory>

#include "platform/HttpClient.h"

namespace platform {

// The libcurl transport lives in a module of its own (libquillary_http.so,
// see ProgramModule) that the program loads at its first request: libcurl
// and the TLS, Kerberos and LDAP libraries under it cost megabytes of memory
// and start-up time that a program waiting in the tray does not need.
class HttpTransportModule {
public:
    // The name of the module's one exported function, which makes a client.
    static constexpr const char* kEntryPoint = "quillary_make_http_client";

    // Loads the module (once per process; it is never unloaded) and makes a
    // client. Throws URLError, naming what went wrong, when it cannot.
    static std::shared_ptr<HttpClient> makeClient();
    // A client that calls makeClient() at its first request, so that owning
    // it from start-up maps nothing (see DeferredHttpClient).
    static std::shared_ptr<HttpClient> deferredClient();
};

}  // namespace platform

// The module's entry point: a new libcurl client, owned by the caller.
extern "C" platform::HttpClient* quillary_make_http_client();
