#include "platform/HttpTransportModule.h"

#include "platform/DeferredHttpClient.h"
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

}  // namespace platform
