#include "platform/HttpTransportModule.h"

#include <dlfcn.h>

#include <mutex>
#include <string>
#include <system_error>

#include "platform/DeferredHttpClient.h"

namespace platform {

std::vector<std::filesystem::path> HttpTransportModule::candidates() {
    std::vector<std::filesystem::path> paths;
    std::error_code error;
    const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) paths.push_back(executable.parent_path() / kFileName);
#ifdef QUILLARY_HTTP_MODULE
    if (paths.empty() || paths.front() != QUILLARY_HTTP_MODULE) paths.emplace_back(QUILLARY_HTTP_MODULE);
#endif
    return paths;
}

std::shared_ptr<HttpClient> HttpTransportModule::makeClient() {
    using Entry = decltype(&quillary_make_http_client);
    static std::mutex mutex;
    static Entry entry = nullptr;
    std::lock_guard lock(mutex);
    if (!entry) {
        std::string problems;
        for (const auto& path : candidates()) {
            std::error_code error;
            if (!std::filesystem::exists(path, error)) continue;
            // Kept loaded for the life of the process: clients and the
            // streams they hand out run its code until exit.
            void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
            if (!module) {
                problems += std::string(" ") + dlerror();
                continue;
            }
            entry = reinterpret_cast<Entry>(dlsym(module, kEntryPoint));
            if (entry) break;
            problems += " " + path.string() + " has no " + kEntryPoint;
        }
        if (!entry)
            throw URLError(URLError::Unknown, std::string("The network library could not start: ") +
                                                  (problems.empty() ? std::string(kFileName) + " was not found"
                                                                    : problems.substr(1)));
    }
    return std::shared_ptr<HttpClient>(entry());
}

std::shared_ptr<HttpClient> HttpClient::shared() {
    static const std::shared_ptr<HttpClient> client =
        std::make_shared<DeferredHttpClient>(&HttpTransportModule::makeClient);
    return client;
}

}  // namespace platform
