#include "platform/HttpTransportModule.h"

#include "platform/DeferredHttpClient.h"
#include "platform/LibraryDefaults.h"
#include "platform/Logger.h"
#include "platform/ProgramModule.h"

namespace platform {

std::shared_ptr<HttpClient> HttpTransportModule::makeClient() {
    using Entry = decltype(&quillary_make_http_client);
    Entry entry = nullptr;
    try {
        entry = reinterpret_cast<Entry>(ProgramModule::http().symbol(kEntryPoint));
    } catch (const Error& error) {
        throw URLError(URLError::Unknown, "The network library could not start: " + error.description());
    }
    return std::shared_ptr<HttpClient>(entry());
}

std::shared_ptr<HttpClient> HttpTransportModule::deferredClient() {
    return std::make_shared<DeferredHttpClient>(&HttpTransportModule::makeClient);
}

std::shared_ptr<HttpClient> HttpClient::shared() {
    static const std::shared_ptr<HttpClient> client = LibraryDefaults::make<HttpClient>(
        "the shared HTTP client",
        [] {
            // Made before the client, so that exit destroys them after the
            // defaults have ended: the transfers still running use both.
            (void)ProgramModule::http();
            (void)Logger::sink();
            return HttpTransportModule::deferredClient();
        },
        LibraryDefaults::Ending::nothing);
    return client;
}

}  // namespace platform
