#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace testsupport {

// An HTTP server on 127.0.0.1 or another loopback address (a free port) that answers from a script, for
// tests of code that talks HTTP. Routes are keyed by method and path (the
// query is ignored when matching); a request with no route gets 404. Every
// request is recorded. Faults are scripted too: a body released piece by
// piece, a connection dropped mid-body, a stall, a refused port.
//
// The destructor stops the server promptly, releasing any handler that is
// still stalled or waiting for the next piece of a body.
class LoopbackServer {
public:
    using Headers = std::vector<std::pair<std::string, std::string>>;

    struct Reply {
        int status = 200;
        Headers headers;
        std::string body;
    };

    struct Request {
        std::string method;
        std::string path;    // decoded, without the query
        std::string target;  // as sent: path and query
        // Grouped by name in case-insensitive name order (the server library
        // keeps no wire order); repeated names keep their arrival order.
        Headers headers;
        std::string body;
        int clientPort = 0;  // the client's end of the connection it came on

        std::optional<std::string> header(std::string_view name) const;
    };

    // A body the test hands out piece by piece: each piece goes on the wire
    // when released, so a test can check a client saw it before the next.
    class ChunkedBody {
    public:
        void release(std::string piece);  // send this piece now
        void finish();                    // end the body normally
        void drop();                      // close the connection here, mid-body
        // Waits until a client's request reached this body (headers are on the
        // wire). False on time-out.
        bool waitUntilRequested(std::chrono::milliseconds limit = std::chrono::seconds(10));

    private:
        friend class LoopbackServer;
        enum class Next { Piece, Finish, Drop };
        // Blocks for the next instruction; Drop when the server stops.
        std::pair<Next, std::string> next();
        void markRequested();
        void stop();

        std::mutex mutex_;
        std::condition_variable changed_;
        std::deque<std::string> pieces_;
        bool finished_ = false;
        bool dropped_ = false;
        bool stopped_ = false;
        bool requested_ = false;
    };

    // Whether a connection stays open for the client's next request. A kept
    // connection that the client leaves idle holds up the server's stop for
    // up to a second, so only tests of connection reuse and benchmarks keep
    // them.
    enum class Connections { CloseAfterReply, KeepOpen };

    // Listens on `port` of `address` (which must be in 127.0.0.0/8), or on a
    // free one when it is 0 (a given port lets a test bring a server back
    // where one went down).
    explicit LoopbackServer(Connections connections = Connections::CloseAfterReply, int port = 0,
                            std::string address = "127.0.0.1");
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    int port() const { return port_; }
    // "http://ADDRESS:PORT" + path.
    std::string url(std::string_view path = "/") const;

    // Answers every METHOD PATH request with this reply.
    void reply(std::string method, std::string path, Reply reply);
    // Sends status and headers (chunked transfer encoding), then the body as
    // the test releases it.
    std::shared_ptr<ChunkedBody> replyInChunks(std::string method, std::string path, int status = 200,
                                               Headers headers = {});
    // Announces the whole body's length, sends its first `bytesSent` bytes and
    // closes the connection.
    void dropAfter(std::string method, std::string path, Reply reply, std::size_t bytesSent);
    // Sends nothing at all until releaseStalls() or the server stops; then the
    // reply (503 when the server is stopping).
    void stall(std::string method, std::string path, Reply afterwards);
    void stall(std::string method, std::string path);
    void releaseStalls();

    // Every request received so far, in arrival order.
    std::vector<Request> requests() const;
    // Waits until at least `count` requests arrived. False on time-out.
    bool waitForRequests(std::size_t count, std::chrono::milliseconds limit = std::chrono::seconds(10)) const;

    // A URL on 127.0.0.1 where nothing listens (connections are refused).
    // The port stays reserved for the server's lifetime.
    std::string refusedUrl(std::string_view path = "/");

private:
    enum class Kind { Plain, Chunked, Drop, Stall };
    struct Route {
        Kind kind = Kind::Plain;
        Reply reply;
        std::size_t bytesSent = 0;
        std::shared_ptr<ChunkedBody> body;
    };
    void handle(const httplib::Request& in, httplib::Response& out);
    void addRoute(std::string method, std::string path, Route route);
    std::optional<Route> route(const std::string& method, const std::string& path) const;
    void record(Request request);
    // Blocks while stalls are held; true when released, false when stopping.
    bool waitOutStall();

    std::unique_ptr<httplib::Server> server_;
    std::thread listener_;
    std::string address_;
    int port_ = 0;
    int reservedFd_ = -1;
    int reservedPort_ = 0;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::map<std::pair<std::string, std::string>, Route> routes_;
    std::vector<Request> requests_;
    bool stallsReleased_ = false;
    bool stopping_ = false;
};

}  // namespace testsupport
