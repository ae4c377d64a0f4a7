#pragma once

#include <curl/curl.h>

#include <initializer_list>
#include <string>

namespace bench {

// The baseline the transports are measured against: a POST with bare
// libcurl and nothing else. Keeping one object across iterations keeps its
// connection, as a client that reuses connections would.
class BarePost {
public:
    using Sink = std::size_t (*)(char*, std::size_t, std::size_t, void*);

    BarePost(const std::string& url, const std::string& body, std::initializer_list<const char*> headers)
        : url_(url), body_(body) {
        for (const char* header : headers) headers_ = curl_slist_append(headers_, header);
    }
    ~BarePost() {
        if (easy_) curl_easy_cleanup(easy_);
        curl_slist_free_all(headers_);
    }
    BarePost(const BarePost&) = delete;
    BarePost& operator=(const BarePost&) = delete;

    // One exchange; the body goes to `sink` with `data`. False when it failed.
    bool perform(Sink sink, void* data) {
        if (!easy_) easy_ = curl_easy_init();
        curl_easy_setopt(easy_, CURLOPT_URL, url_.c_str());
        curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, headers_);
        curl_easy_setopt(easy_, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body_.size()));
        curl_easy_setopt(easy_, CURLOPT_POSTFIELDS, body_.data());
        curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, sink);
        curl_easy_setopt(easy_, CURLOPT_WRITEDATA, data);
        return curl_easy_perform(easy_) == CURLE_OK;
    }

    // Drops the handle, and with it the connection, before the next exchange.
    void forgetConnection() {
        if (easy_) curl_easy_cleanup(easy_);
        easy_ = nullptr;
    }

private:
    std::string url_;
    std::string body_;
    curl_slist* headers_ = nullptr;
    CURL* easy_ = nullptr;
};

}  // namespace bench
