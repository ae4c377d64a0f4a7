#include "testsupport/LoopbackServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <limits>
#include <stdexcept>

#include <httplib.h>

namespace testsupport {
namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

// Puts the scripted headers on the response; returns the Content-Type to
// give the server library (which insists on setting that one itself).
std::string applyHeaders(const LoopbackServer::Headers& headers, httplib::Response& out) {
    std::string contentType;
    for (const auto& [name, value] : headers) {
        if (equalsIgnoringCase(name, "Content-Type")) {
            contentType = value;
        } else if (!equalsIgnoringCase(name, "Content-Length")) {  // the library computes it
            out.set_header(name, value);
        }
    }
    return contentType;
}

}  // namespace

std::optional<std::string> LoopbackServer::Request::header(std::string_view name) const {
    for (const auto& [k, v] : headers)
        if (equalsIgnoringCase(k, name)) return v;
    return std::nullopt;
}

void LoopbackServer::ChunkedBody::release(std::string piece) {
    {
        std::lock_guard lock(mutex_);
        pieces_.push_back(std::move(piece));
    }
    changed_.notify_all();
}

void LoopbackServer::ChunkedBody::finish() {
    {
        std::lock_guard lock(mutex_);
        finished_ = true;
    }
    changed_.notify_all();
}

void LoopbackServer::ChunkedBody::drop() {
    {
        std::lock_guard lock(mutex_);
        dropped_ = true;
    }
    changed_.notify_all();
}

void LoopbackServer::ChunkedBody::stop() {
    {
        std::lock_guard lock(mutex_);
        stopped_ = true;
    }
    changed_.notify_all();
}

void LoopbackServer::ChunkedBody::markRequested() {
    {
        std::lock_guard lock(mutex_);
        requested_ = true;
    }
    changed_.notify_all();
}

bool LoopbackServer::ChunkedBody::waitUntilRequested(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [this] { return requested_; });
}

std::pair<LoopbackServer::ChunkedBody::Next, std::string> LoopbackServer::ChunkedBody::next() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return stopped_ || !pieces_.empty() || finished_ || dropped_; });
    if (stopped_) return {Next::Drop, {}};
    if (!pieces_.empty()) {
        std::string piece = std::move(pieces_.front());
        pieces_.pop_front();
        return {Next::Piece, std::move(piece)};
    }
    return {dropped_ ? Next::Drop : Next::Finish, {}};
}

LoopbackServer::LoopbackServer(Connections connections, int port, std::string address)
    : server_(std::make_unique<httplib::Server>()), address_(std::move(address)) {
    if (!address_.starts_with("127.")) throw std::invalid_argument("LoopbackServer: not a loopback address");
    auto handler = [this](const httplib::Request& in, httplib::Response& out) { handle(in, out); };
    server_->Get(".*", handler);
    server_->Post(".*", handler);
    server_->Put(".*", handler);
    server_->Patch(".*", handler);
    server_->Delete(".*", handler);
    server_->Options(".*", handler);
    // Short idle limits so that stopping never waits long for a quiet
    // keep-alive connection.
    server_->set_keep_alive_timeout(1);
    // A kept connection serves as many requests as a client sends on it.
    server_->set_keep_alive_max_count(connections == Connections::KeepOpen ? std::numeric_limits<int>::max() : 1);
    server_->set_read_timeout(std::chrono::seconds(2));
    server_->set_tcp_nodelay(true);

    port_ = port == 0 ? server_->bind_to_any_port(address_) : (server_->bind_to_port(address_, port) ? port : -1);
    if (port_ <= 0) throw std::runtime_error("LoopbackServer: cannot bind " + address_);
    listener_ = std::thread([this] { server_->listen_after_bind(); });
    // stop() is a no-op until the accept loop runs; wait for it so the
    // destructor can always end it.
    while (!server_->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

LoopbackServer::~LoopbackServer() {
    std::vector<std::shared_ptr<ChunkedBody>> bodies;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        for (const auto& [key, r] : routes_)
            if (r.body) bodies.push_back(r.body);
    }
    changed_.notify_all();
    for (const auto& body : bodies) body->stop();
    server_->stop();
    if (listener_.joinable()) listener_.join();
    server_.reset();  // joins the handler threads
    if (reservedFd_ >= 0) ::close(reservedFd_);
}

std::string LoopbackServer::url(std::string_view path) const {
    return "http://" + address_ + ":" + std::to_string(port_) + std::string(path);
}

void LoopbackServer::addRoute(std::string method, std::string path, Route route) {
    std::lock_guard lock(mutex_);
    routes_.insert_or_assign({std::move(method), std::move(path)}, std::move(route));
}

void LoopbackServer::reply(std::string method, std::string path, Reply reply) {
    addRoute(std::move(method), std::move(path), Route{Kind::Plain, std::move(reply), 0, nullptr});
}

std::shared_ptr<LoopbackServer::ChunkedBody> LoopbackServer::replyInChunks(std::string method, std::string path,
                                                                           int status, Headers headers) {
    auto body = std::make_shared<ChunkedBody>();
    addRoute(std::move(method), std::move(path), Route{Kind::Chunked, Reply{status, std::move(headers), {}}, 0, body});
    return body;
}

void LoopbackServer::dropAfter(std::string method, std::string path, Reply reply, std::size_t bytesSent) {
    addRoute(std::move(method), std::move(path), Route{Kind::Drop, std::move(reply), bytesSent, nullptr});
}

void LoopbackServer::stall(std::string method, std::string path, Reply afterwards) {
    addRoute(std::move(method), std::move(path), Route{Kind::Stall, std::move(afterwards), 0, nullptr});
}

void LoopbackServer::stall(std::string method, std::string path) {
    stall(std::move(method), std::move(path), Reply{});
}

void LoopbackServer::releaseStalls() {
    {
        std::lock_guard lock(mutex_);
        stallsReleased_ = true;
    }
    changed_.notify_all();
}

bool LoopbackServer::waitOutStall() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return stallsReleased_ || stopping_; });
    return !stopping_;
}

std::optional<LoopbackServer::Route> LoopbackServer::route(const std::string& method, const std::string& path) const {
    std::lock_guard lock(mutex_);
    auto it = routes_.find({method, path});
    if (it == routes_.end() && method == "HEAD") it = routes_.find({"GET", path});
    if (it == routes_.end()) return std::nullopt;
    return it->second;
}

void LoopbackServer::record(Request request) {
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(std::move(request));
    }
    changed_.notify_all();
}

std::vector<LoopbackServer::Request> LoopbackServer::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

bool LoopbackServer::waitForRequests(std::size_t count, std::chrono::milliseconds limit) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return requests_.size() >= count; });
}

std::string LoopbackServer::refusedUrl(std::string_view path) {
    std::lock_guard lock(mutex_);
    if (reservedFd_ < 0) {
        // A bound socket that never listens: the port cannot be taken by
        // anyone else, and connecting to it is refused.
        reservedFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (reservedFd_ < 0 || ::bind(reservedFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
            ::getsockname(reservedFd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
            throw std::runtime_error("LoopbackServer: cannot reserve a port");
        reservedPort_ = ntohs(addr.sin_port);
    }
    return "http://127.0.0.1:" + std::to_string(reservedPort_) + std::string(path);
}

void LoopbackServer::handle(const httplib::Request& in, httplib::Response& out) {
    Request request{in.method, in.path, in.target, {}, in.body, in.remote_port};
    for (const auto& [name, value] : in.headers) {
        // The library files the peer's addresses among the headers.
        if (name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" || name == "LOCAL_PORT") continue;
        request.headers.emplace_back(name, value);
    }
    record(std::move(request));

    auto r = route(in.method, in.path);
    if (!r) {
        out.status = 404;
        return;
    }
    const std::string contentType = applyHeaders(r->reply.headers, out);
    out.status = r->reply.status;
    switch (r->kind) {
        case Kind::Stall:
            if (!waitOutStall()) {
                out.status = 503;
                return;
            }
            [[fallthrough]];
        case Kind::Plain:
            out.body = r->reply.body;
            if (!contentType.empty()) out.set_header("Content-Type", contentType);
            return;
        case Kind::Chunked:
            out.set_chunked_content_provider(
                contentType.empty() ? "application/octet-stream" : contentType,
                [body = r->body](std::size_t, httplib::DataSink& sink) {
                    body->markRequested();
                    auto [next, piece] = body->next();
                    switch (next) {
                        case ChunkedBody::Next::Piece:
                            // An empty chunk would end the body on the wire.
                            return piece.empty() || sink.write(piece.data(), piece.size());
                        case ChunkedBody::Next::Finish: sink.done(); return true;
                        case ChunkedBody::Next::Drop: break;
                    }
                    return false;  // the library closes the connection
                });
            return;
        case Kind::Drop:
            out.set_content_provider(
                r->reply.body.size(), contentType.empty() ? "application/octet-stream" : contentType,
                [body = r->reply.body, sent = r->bytesSent](std::size_t offset, std::size_t length,
                                                            httplib::DataSink& sink) {
                    if (offset >= sent) return false;  // the library closes the connection
                    return sink.write(body.data() + offset, std::min(length, sent - offset));
                });
            return;
    }
}

}  // namespace testsupport
