// The HTTP server of --serve: Boost.Beast on one Asio thread. Ordinary requests are
// answered from a handler; /events clients receive the messages handed to Broadcast. The
// follower runs on the same thread through Run's tick, so nothing needs a lock, and every
// socket operation is asynchronous: a slow or stuck client delays neither the others nor
// the follower (a client too far behind is dropped).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "routes.h"

namespace vantrel::report::serve {

enum class Piece { More, Done, Broken };

struct Reply {
    unsigned status = 200;
    std::string contentType = "text/plain; charset=utf-8";
    std::shared_ptr<const std::string> body;
    // Instead of `body`: a long text made a piece at a time, each written before the next
    // is made, so that other clients are served in between. It appends the next piece and
    // says More, says Done when complete, or Broken when what it wrote no longer holds
    // (the reply is then cut off, not completed).
    std::function<Piece(std::string& out)> pieces;
};
using Handler = std::function<Reply(Route route, std::string_view query)>;

struct ServerLimits {
    std::size_t maxHeaderBytes = 8 * 1024;          // request line and headers together
    std::size_t maxConnections = 512;               // open sockets, event clients included
    std::size_t maxEventClients = 256;              // beyond: 503
    std::chrono::milliseconds requestTimeout{10'000};  // to send a whole request, or to take a reply
    std::size_t maxQueuedBytes = std::size_t{4} << 20;  // an event client further behind is dropped
    std::size_t replayEvents = 4096;                // kept for clients that reconnect (Last-Event-ID)
};

// Binding failed (a busy port, an address not of this machine): `what()` says which.
class ServeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Server {
public:
    // Binds and listens; throws ServeError. `note` receives lines for the terminal.
    Server(const std::string& address, std::uint16_t port, ServerLimits limits, Handler handler,
           std::function<void(const std::string&)> note);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    std::uint16_t port() const;
    // "http://127.0.0.1:7433/"
    std::string Url() const;

    // One Server-Sent Events message with its id, to every event client (and kept for
    // clients that reconnect).
    void Broadcast(std::uint64_t id, std::string message);
    std::size_t EventClients() const;

    // Serves until Stop() or SIGINT/SIGTERM; calls `tick` every `period`, and soon after Wake().
    void Run(std::chrono::milliseconds period, const std::function<void()>& tick);
    void Stop();
    // Asks for Run's tick now, on the server's thread; callable from any thread. Calls made
    // while one is pending are one.
    void Wake();

    struct Impl;  // the Beast side (server.cpp), reached by its connections too

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace vantrel::report::serve
