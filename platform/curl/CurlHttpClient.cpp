#include "platform/curl/CurlHttpClient.h"

#include <strings.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <vector>

#include <curl/curl.h>
#include <fmt/format.h>

#include "platform/LoopbackUrl.h"

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;

// How often a waiting transfer looks at the request's cancellation token,
// which (unlike HttpStream::cancel) cannot wake it.
constexpr std::chrono::milliseconds kCancellationPoll{25};

void initCurlOnce() {
    // A function-local static is initialised exactly once, even when the
    // first requests start on several threads at the same time.
    static const CURLcode result = curl_global_init(CURL_GLOBAL_DEFAULT);
    if (result != CURLE_OK)
        throw URLError(URLError::Unknown, fmt::format("The network library could not start: {}",
                                                      curl_easy_strerror(result)));
}

struct EasyDeleter {
    void operator()(CURL* h) const noexcept { curl_easy_cleanup(h); }
};
struct MultiDeleter {
    void operator()(CURLM* h) const noexcept { curl_multi_cleanup(h); }
};
struct SlistDeleter {
    void operator()(curl_slist* l) const noexcept { curl_slist_free_all(l); }
};
struct UrlDeleter {
    void operator()(CURLU* u) const noexcept { curl_url_cleanup(u); }
};
struct CurlStringDeleter {
    void operator()(char* s) const noexcept { curl_free(s); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;
using MultiHandle = std::unique_ptr<CURLM, MultiDeleter>;
using HeaderList = std::unique_ptr<curl_slist, SlistDeleter>;
using UrlHandle = std::unique_ptr<CURLU, UrlDeleter>;
using CurlString = std::unique_ptr<char, CurlStringDeleter>;

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

bool hasHeader(const HttpHeaders& headers, std::string_view name) {
    return std::any_of(headers.begin(), headers.end(),
                       [&](const auto& h) { return equalsIgnoringCase(h.first, name); });
}

bool isToken(std::string_view s) {
    if (s.empty()) return false;
    return std::all_of(s.begin(), s.end(), [](unsigned char c) {
        return c > 0x20 && c < 0x7F && c != ':' && c != '(' && c != ')' && c != ',' && c != ';' &&
               c != '"' && c != '/' && c != '[' && c != ']' && c != '=' && c != '{' && c != '}';
    });
}

std::optional<std::string> urlPart(CURLU* url, CURLUPart part) {
    char* raw = nullptr;
    if (curl_url_get(url, part, &raw, 0) != CURLUE_OK) return std::nullopt;
    const CurlString text(raw);
    return std::string(raw ? raw : "");
}

// The address parsed once, by the parser of the transfer that uses it: only
// http and https, with a host; anything else never reaches curl. A request
// bound to this machine must name it plainly, so that no reading of the
// address, curl's or a proxy's, can take its key anywhere else.
UrlHandle parseUrl(const HttpRequest& request) {
    UrlHandle parsed(curl_url());
    if (!parsed) throw std::bad_alloc();
    if (request.url.empty() || curl_url_set(parsed.get(), CURLUPART_URL, request.url.c_str(), 0) != CURLUE_OK)
        throw URLError(URLError::BadURL);
    const auto scheme = urlPart(parsed.get(), CURLUPART_SCHEME);
    if (!scheme) throw URLError(URLError::BadURL);
    if (!equalsIgnoringCase(*scheme, "http") && !equalsIgnoringCase(*scheme, "https"))
        throw URLError(URLError::UnsupportedURL);
    if (request.loopbackOnly) {
        const auto host = urlPart(parsed.get(), CURLUPART_HOST);
        if (!host || !isLoopbackHost(*host) || urlPart(parsed.get(), CURLUPART_USER) ||
            urlPart(parsed.get(), CURLUPART_PASSWORD) || request.url.find('\\') != std::string::npos)
            throw URLError(URLError::BadURL, "The request was refused: its address is not on this machine.");
    }
    return parsed;
}

HeaderList buildHeaderList(const HttpRequest& request, bool sendsBody) {
    curl_slist* list = nullptr;
    auto append = [&list](const std::string& line) {
        curl_slist* grown = curl_slist_append(list, line.c_str());
        if (!grown) {
            curl_slist_free_all(list);
            throw std::bad_alloc();
        }
        list = grown;
    };
    try {
        for (const auto& [name, value] : request.headers) {
            if (!isToken(name))
                throw URLError(URLError::Unknown, fmt::format("The request header name \"{}\" is not valid.", name));
            if (value.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos)
                throw URLError(URLError::Unknown,
                               fmt::format("The request header \"{}\" contains a line break.", name));
            // "Name:" would tell curl to drop the header; "Name;" sends it empty.
            append(value.empty() ? name + ";" : name + ": " + value);
        }
        // Headers curl adds on its own unless told not to.
        if (!hasHeader(request.headers, "Accept")) append("Accept:");
        if (!hasHeader(request.headers, "Expect")) append("Expect:");
        if (sendsBody && !hasHeader(request.headers, "Content-Type")) append("Content-Type:");
    } catch (...) {
        curl_slist_free_all(list);
        throw;
    }
    return HeaderList(list);
}

// Hosts that never go through a proxy: this machine's own servers (a local
// model server, the tests' servers) plus whatever the user's no_proxy lists.
// Setting curl's list replaces the variable, so both are merged here.
std::string noProxyHostList() {
    std::string list = "localhost,127.0.0.1,::1";
    for (const char* name : {"no_proxy", "NO_PROXY"}) {
        const char* value = std::getenv(name);
        if (!value || !*value) continue;
        if (std::string_view(value) == "*") return "*";  // curl's "no proxy at all"
        list += ',';
        list += value;
        break;
    }
    return list;
}

URLError errorFor(CURLcode code, const char* detail) {
    switch (code) {
        case CURLE_UNSUPPORTED_PROTOCOL: return URLError(URLError::UnsupportedURL);
        case CURLE_URL_MALFORMAT: return URLError(URLError::BadURL);
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY: return URLError(URLError::CannotFindHost);
        case CURLE_COULDNT_CONNECT: return URLError(URLError::CannotConnectToHost);
        case CURLE_OPERATION_TIMEDOUT: return URLError(URLError::TimedOut);
        case CURLE_GOT_NOTHING:
        case CURLE_PARTIAL_FILE:
        case CURLE_RECV_ERROR:
        case CURLE_SEND_ERROR:
        case CURLE_HTTP2:
        case CURLE_HTTP2_STREAM: return URLError(URLError::NetworkConnectionLost);
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        case CURLE_SSL_INVALIDCERTSTATUS:
        case CURLE_SSL_CRL_BADFILE:
        case CURLE_SSL_ENGINE_NOTFOUND:
        case CURLE_SSL_ENGINE_SETFAILED:
        case CURLE_SSL_ENGINE_INITFAILED:
        case CURLE_USE_SSL_FAILED: return URLError(URLError::SecureConnectionFailed);
        case CURLE_WEIRD_SERVER_REPLY:
        case CURLE_BAD_CONTENT_ENCODING: return URLError(URLError::BadServerResponse);
        case CURLE_ABORTED_BY_CALLBACK: return URLError(URLError::Cancelled);
        default: break;
    }
    const char* text = detail && *detail ? detail : curl_easy_strerror(code);
    return URLError(URLError::Unknown, fmt::format("{} ({})", URLError::defaultDescription(URLError::Unknown), text));
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

}  // namespace

// Multi handles between transfers. Each keeps the connections (and DNS
// answers) its last transfers left behind, so the next request to the same
// server skips the connect and, for https, the handshake. A handle serves one
// transfer at a time; handing it over under the lock makes it safe to pass
// between threads.
class CurlHttpClient::ConnectionPool {
public:
    MultiHandle take() {
        {
            std::lock_guard lock(mutex_);
            if (!idle_.empty()) {
                MultiHandle multi = std::move(idle_.back());
                idle_.pop_back();
                return multi;
            }
        }
        MultiHandle multi(curl_multi_init());
        if (!multi) throw std::bad_alloc();
        return multi;
    }

    // Kept when there is room; otherwise closed with its connections.
    void give(MultiHandle multi) noexcept {
        std::lock_guard lock(mutex_);
        if (idle_.size() < kMaxIdle) idle_.push_back(std::move(multi));
    }

    // Held with the handles, not in a static: the client may be made after
    // objects with static lifetime whose workers still send at exit.
    const std::string& noProxyHosts() const { return noProxyHosts_; }

private:
    // As many as requests that usually run at once.
    static constexpr std::size_t kMaxIdle = 4;
    std::mutex mutex_;
    std::vector<MultiHandle> idle_;
    const std::string noProxyHosts_ = noProxyHostList();
};

namespace {

// One request on its own easy handle, driven through a multi handle of the
// client's pool on whichever thread asks for progress.
class Transfer {
public:
    Transfer(const HttpRequest& request, std::shared_ptr<CurlHttpClient::ConnectionPool> pool);
    ~Transfer();
    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;

    // Blocks until the final status and headers are in. Throws URLError.
    void waitForHead();
    // The next body bytes, or nothing at the end. Throws URLError.
    std::optional<std::string> nextBody();
    // The whole remaining body. Throws URLError.
    std::string remainingBody();
    // From any thread: makes the waiting (or next) call throw Cancelled.
    void cancel();

    const HttpResponse& head() const { return head_; }

private:
    void pump(const std::function<bool()>& enough);
    void detach();
    void fail(URLError error);
    void throwIfCancelled();
    void touch() { lastActivity_ = Clock::now(); }

    static std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* self);
    static std::size_t onBody(char* data, std::size_t size, std::size_t count, void* self);
    static int onProgress(void* self, curl_off_t, curl_off_t dlnow, curl_off_t, curl_off_t ulnow);

    std::string requestBody_;
    HeaderList headerList_;
    UrlHandle url_;  // read by the easy handle until it is cleaned up
    std::shared_ptr<CurlHttpClient::ConnectionPool> pool_;
    MultiHandle multi_;
    EasyHandle easy_;
    bool attached_ = false;
    char errorText_[CURL_ERROR_SIZE] = {};

    std::chrono::milliseconds timeout_;
    std::optional<Clock::time_point> deadline_;
    std::size_t maxBody_;
    bool tooLarge_ = false;
    std::shared_ptr<CancellationToken> token_;
    std::atomic<bool> cancelled_{false};
    Clock::time_point lastActivity_;
    curl_off_t lastUp_ = 0;
    curl_off_t lastDown_ = 0;

    HttpResponse head_;
    bool headComplete_ = false;
    std::string pending_;
    bool finished_ = false;
    std::optional<URLError> failure_;
};

template <typename T>
void setOption(CURL* easy, CURLoption option, T value) {
    if (const CURLcode rc = curl_easy_setopt(easy, option, value); rc != CURLE_OK)
        throw URLError(URLError::Unknown,
                       fmt::format("The request could not be prepared: {}", curl_easy_strerror(rc)));
}

Transfer::Transfer(const HttpRequest& request, std::shared_ptr<CurlHttpClient::ConnectionPool> pool)
    : requestBody_(request.body),
      pool_(std::move(pool)),
      timeout_(request.timeout),
      maxBody_(request.maxResponseBytes),
      token_(request.cancellation) {
    initCurlOnce();
    url_ = parseUrl(request);
    if (!isToken(request.method))
        throw URLError(URLError::Unknown, fmt::format("The request method \"{}\" is not valid.", request.method));

    const bool isHead = request.method == "HEAD";
    const bool sendsBody = !isHead && (request.method == "POST" || !request.body.empty());
    headerList_ = buildHeaderList(request, sendsBody);

    multi_ = pool_->take();
    easy_.reset(curl_easy_init());
    if (!multi_ || !easy_) throw std::bad_alloc();
    CURL* h = easy_.get();

    setOption(h, CURLOPT_CURLU, url_.get());
    setOption(h, CURLOPT_PROTOCOLS_STR, "http,https");
    setOption(h, CURLOPT_NOSIGNAL, 1L);
    setOption(h, CURLOPT_FOLLOWLOCATION, 0L);
    setOption(h, CURLOPT_SSL_VERIFYPEER, 1L);
    setOption(h, CURLOPT_SSL_VERIFYHOST, 2L);
    setOption(h, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    if (request.loopbackOnly)
        setOption(h, CURLOPT_PROXY, "");  // no proxy variable applies
    else
        setOption(h, CURLOPT_NOPROXY, pool_->noProxyHosts().c_str());
    setOption(h, CURLOPT_ERRORBUFFER, errorText_);
    setOption(h, CURLOPT_HTTPHEADER, headerList_.get());
    if (timeout_.count() > 0) setOption(h, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeout_.count()));

    if (isHead) {
        setOption(h, CURLOPT_NOBODY, 1L);
    } else if (sendsBody) {
        setOption(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(requestBody_.size()));
        setOption(h, CURLOPT_POSTFIELDS, requestBody_.data());
        if (request.method != "POST") setOption(h, CURLOPT_CUSTOMREQUEST, request.method.c_str());
    } else if (request.method != "GET") {
        setOption(h, CURLOPT_CUSTOMREQUEST, request.method.c_str());
    }

    setOption(h, CURLOPT_HEADERFUNCTION, &Transfer::onHeader);
    setOption(h, CURLOPT_HEADERDATA, this);
    setOption(h, CURLOPT_WRITEFUNCTION, &Transfer::onBody);
    setOption(h, CURLOPT_WRITEDATA, this);
    setOption(h, CURLOPT_NOPROGRESS, 0L);
    setOption(h, CURLOPT_XFERINFOFUNCTION, &Transfer::onProgress);
    setOption(h, CURLOPT_XFERINFODATA, this);

    if (curl_multi_add_handle(multi_.get(), h) != CURLM_OK) throw URLError(URLError::Unknown);
    attached_ = true;
    touch();
    if (request.totalTimeout.count() > 0) deadline_ = lastActivity_ + request.totalTimeout;
}

Transfer::~Transfer() {
    detach();
    pool_->give(std::move(multi_));
}

void Transfer::detach() {
    // Removing the handle mid-transfer closes its connection; after a
    // complete answer the connection stays in the multi handle for reuse.
    if (attached_) curl_multi_remove_handle(multi_.get(), easy_.get());
    attached_ = false;
}

void Transfer::fail(URLError error) {
    detach();
    finished_ = true;
    failure_ = std::move(error);
}

void Transfer::cancel() {
    cancelled_.store(true);
    curl_multi_wakeup(multi_.get());
}

void Transfer::throwIfCancelled() {
    if (cancelled_.load() || (token_ && token_->isCancelled())) {
        if (!failure_ || failure_->urlCode() != URLError::Cancelled) fail(URLError(URLError::Cancelled));
        throw *failure_;
    }
}

void Transfer::pump(const std::function<bool()>& enough) {
    while (!enough() && !finished_) {
        throwIfCancelled();
        // Checked before curl runs: a server that always has another byte
        // ready would otherwise never reach the check below.
        if (deadline_ && Clock::now() >= *deadline_) {
            fail(URLError(URLError::TimedOut));
            return;
        }
        int running = 0;
        if (const CURLMcode rc = curl_multi_perform(multi_.get(), &running); rc != CURLM_OK) {
            fail(URLError(URLError::Unknown, curl_multi_strerror(rc)));
            return;
        }
        int left = 0;
        while (CURLMsg* msg = curl_multi_info_read(multi_.get(), &left)) {
            if (msg->msg != CURLMSG_DONE) continue;
            const CURLcode result = msg->data.result;
            detach();
            finished_ = true;
            if (result != CURLE_OK)
                failure_ = tooLarge_ ? URLError(URLError::DataLengthExceedsMaximum) : errorFor(result, errorText_);
        }
        if (enough() || finished_) return;

        auto wait = kCancellationPoll;
        const auto now = Clock::now();
        if (timeout_.count() > 0) {
            const auto idle = std::chrono::duration_cast<std::chrono::milliseconds>(now - lastActivity_);
            if (idle >= timeout_) {
                fail(URLError(URLError::TimedOut));
                return;
            }
            wait = std::min(wait, timeout_ - idle);
        }
        if (deadline_) wait = std::min(wait, std::chrono::ceil<std::chrono::milliseconds>(*deadline_ - now));
        // curl shortens the wait when one of its own timers is due sooner;
        // HttpStream::cancel interrupts it.
        curl_multi_poll(multi_.get(), nullptr, 0, static_cast<int>(std::max<long>(1, wait.count())), nullptr);
    }
}

void Transfer::waitForHead() {
    pump([this] { return headComplete_; });
    throwIfCancelled();
    if (headComplete_) return;
    if (failure_) throw *failure_;
    // Finished without a complete head: nothing usable came back.
    throw URLError(URLError::NetworkConnectionLost);
}

std::optional<std::string> Transfer::nextBody() {
    throwIfCancelled();
    if (pending_.empty() && !finished_) {
        // Time spent by the caller between reads is not the server's idleness.
        touch();
        pump([this] { return !pending_.empty(); });
        throwIfCancelled();
    }
    if (!pending_.empty()) return std::exchange(pending_, std::string());
    if (failure_) throw *failure_;
    return std::nullopt;
}

std::string Transfer::remainingBody() {
    pump([] { return false; });
    throwIfCancelled();
    if (failure_) throw *failure_;
    return std::exchange(pending_, std::string());
}

std::size_t Transfer::onHeader(char* data, std::size_t size, std::size_t count, void* self) {
    auto& t = *static_cast<Transfer*>(self);
    const std::size_t length = size * count;
    const std::string_view line(data, length);
    t.touch();
    if (t.headComplete_) return length;  // trailers of a chunked body

    if (line.rfind("HTTP/", 0) == 0) {  // a status line starts a new header block
        t.head_.headers.clear();
        return length;
    }
    if (trimmed(line).empty()) {  // the blank line that ends a header block
        long status = 0;
        curl_easy_getinfo(t.easy_.get(), CURLINFO_RESPONSE_CODE, &status);
        if (status >= 200 || status == 0) {
            t.head_.status = static_cast<int>(status);
            t.headComplete_ = true;
        } else {
            t.head_.headers.clear();  // an interim 1xx answer; the real one follows
        }
        return length;
    }
    if ((line.front() == ' ' || line.front() == '\t') && !t.head_.headers.empty()) {
        auto& value = t.head_.headers.back().second;  // folded continuation line
        value += ' ';
        value += trimmed(line);
        return length;
    }
    const auto colon = line.find(':');
    if (colon == std::string_view::npos) return length;
    t.head_.headers.emplace_back(std::string(trimmed(line.substr(0, colon))),
                                 std::string(trimmed(line.substr(colon + 1))));
    return length;
}

std::size_t Transfer::onBody(char* data, std::size_t size, std::size_t count, void* self) {
    auto& t = *static_cast<Transfer*>(self);
    const std::size_t length = size * count;
    t.touch();
    t.headComplete_ = true;
    if (t.pending_.size() + length > t.maxBody_) {
        t.tooLarge_ = true;
        return 0;  // curl ends the transfer with a write error
    }
    t.pending_.append(data, length);
    return length;
}

int Transfer::onProgress(void* self, curl_off_t, curl_off_t dlnow, curl_off_t, curl_off_t ulnow) {
    auto& t = *static_cast<Transfer*>(self);
    if (dlnow != t.lastDown_ || ulnow != t.lastUp_) {
        t.lastDown_ = dlnow;
        t.lastUp_ = ulnow;
        t.touch();
    }
    return 0;
}

class CurlHttpStream final : public HttpStream {
public:
    explicit CurlHttpStream(std::unique_ptr<Transfer> transfer) : transfer_(std::move(transfer)) {}

    const HttpResponse& head() const override { return transfer_->head(); }
    std::optional<std::string> read() override { return transfer_->nextBody(); }
    void cancel() override { transfer_->cancel(); }

private:
    std::unique_ptr<Transfer> transfer_;
};

}  // namespace

CurlHttpClient::CurlHttpClient() : pool_(std::make_shared<ConnectionPool>()) { initCurlOnce(); }

CurlHttpClient::~CurlHttpClient() = default;

HttpResponse CurlHttpClient::send(const HttpRequest& request) {
    Transfer transfer(request, pool_);
    transfer.waitForHead();
    HttpResponse response = transfer.head();
    response.body = transfer.remainingBody();
    return response;
}

std::unique_ptr<HttpStream> CurlHttpClient::open(const HttpRequest& request) {
    auto transfer = std::make_unique<Transfer>(request, pool_);
    transfer->waitForHead();
    return std::make_unique<CurlHttpStream>(std::move(transfer));
}

}  // namespace platform
