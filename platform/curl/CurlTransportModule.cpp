// The entry point of libquillary_http.so, the one symbol it exports.

#include "platform/HttpTransportModule.h"
#include "platform/curl/CurlHttpClient.h"

extern "C" __attribute__((visibility("default"))) platform::HttpClient* quillary_make_http_client() {
    return new platform::CurlHttpClient();
}
