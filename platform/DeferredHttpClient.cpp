#include "platform/DeferredHttpClient.h"

#include <exception>
#include <utility>

namespace platform {

DeferredHttpClient::DeferredHttpClient(Factory factory) : factory_(std::move(factory)) {}

bool DeferredHttpClient::isMade() const {
    std::lock_guard lock(mutex_);
    return transport_ != nullptr;
}

HttpClient& DeferredHttpClient::transport() {
    std::lock_guard lock(mutex_);
    if (transport_) return *transport_;
    std::shared_ptr<HttpClient> made;
    try {
        made = factory_();
    } catch (const URLError&) {
        throw;
    } catch (const std::exception& error) {
        // Callers handle transport failures, whatever stopped the loading.
        throw URLError(URLError::Unknown, std::string("The network library could not start: ") + error.what());
    }
    if (!made) throw URLError(URLError::Unknown, "The network library could not start.");
    transport_ = std::move(made);
    return *transport_;
}

}  // namespace platform
