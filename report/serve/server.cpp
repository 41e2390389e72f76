// The server on Boost.Beast: an acceptor, one object per connection reading requests, and
// one per event client writing its queue. All on the io_context's one thread.
#include "server.h"

#include <atomic>
#include <csignal>
#include <utility>
#include <deque>
#include <list>
#include <optional>
#include <sstream>

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include <fmt/format.h>

namespace vantrel::report::serve {
namespace {

namespace net = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = net::ip::tcp;
using Clock = std::chrono::steady_clock;

std::string_view View(beast::string_view text) { return {text.data(), text.size()}; }

// Pages of other sites may not read or frame ours (routes.cpp: SecurityPolicy); our pages
// fetch from us only.
template <class Message>
void CommonHeaders(Message& message, const std::string& contentType, std::string_view policy) {
    message.set(http::field::server, "vantrel-report");
    message.set(http::field::content_type, contentType);
    message.set(http::field::cache_control, "no-store");
    message.set("X-Content-Type-Options", "nosniff");
    message.set("Referrer-Policy", "no-referrer");
    message.set("Content-Security-Policy", beast::string_view(policy.data(), policy.size()));
}

}  // namespace

class EventClient;
class Connection;

struct Server::Impl {
    Impl(ServerLimits limitsGiven, Handler handlerGiven, std::function<void(const std::string&)> noteGiven)
        : limits(limitsGiven), handler(std::move(handlerGiven)), note(std::move(noteGiven)) {}

    void Accept();
    bool EvictOldestWaiting();
    void Refused(unsigned status, std::string_view what);
    void FlushRefusals(bool force);

    net::io_context io{1};
    // Run's tick, for Wake (from any thread): one call pending at most.
    const std::function<void()>* tick = nullptr;
    std::atomic<bool> wakePending{false};
    tcp::acceptor acceptor{io};
    std::optional<HostCheck> hosts;
    std::string address;
    std::uint16_t port = 0;
    ServerLimits limits;
    Handler handler;
    std::function<void(const std::string&)> note;

    std::size_t connections = 0;
    std::list<std::shared_ptr<EventClient>> clients;
    // Connections waiting for a request, oldest first: when every place is taken, the
    // oldest of them makes room, so idle sockets cannot lock clients out.
    std::list<std::weak_ptr<Connection>> waiting;
    std::deque<std::pair<std::uint64_t, std::shared_ptr<const std::string>>> recent;

    // Refusals are told once, then counted: at most one line every 10 s.
    std::size_t refusalsUntold = 0;
    std::string lastRefusal;
    Clock::time_point lastRefusalTold{};
};

namespace {

std::shared_ptr<const std::string> Text(std::string text) { return std::make_shared<const std::string>(std::move(text)); }

}  // namespace

// An /events client: its socket and the messages not yet written.
class EventClient : public std::enable_shared_from_this<EventClient> {
public:
    EventClient(tcp::socket socket, Server::Impl& server) : socket_(std::move(socket)), server_(server) {
        ++server_.connections;
    }
    ~EventClient() { --server_.connections; }

    void Start(std::list<std::shared_ptr<EventClient>>::iterator self, std::optional<std::uint64_t> lastId) {
        self_ = self;
        http::response<http::empty_body> head{http::status::ok, 11};
        CommonHeaders(head, "text/event-stream; charset=utf-8", SecurityPolicy(Route::Events));
        head.set(http::field::connection, "keep-alive");
        std::ostringstream text;
        text << head.base();
        Send(Text(text.str() + "retry: 1000\n\n"));
        // A client that comes back after a break gets what it missed, when still kept.
        if (lastId) {
            for (const auto& [id, message] : server_.recent) {
                if (id > *lastId) Send(message);
            }
        }
        WatchForClose();
    }

    void Send(const std::shared_ptr<const std::string>& message) {
        if (closed_) return;
        if (queuedBytes_ + message->size() > server_.limits.maxQueuedBytes) {
            Close();
            return;
        }
        queuedBytes_ += message->size();
        queue_.push_back(message);
        if (!writing_) WriteNext();
    }

    void Close() {
        if (closed_) return;
        closed_ = true;
        boost::system::error_code ignored;
        socket_.shutdown(tcp::socket::shutdown_both, ignored);
        socket_.close(ignored);
        server_.clients.erase(self_);  // may drop the last reference but one: callers hold one
    }

private:
    void WriteNext() {
        writing_ = true;
        // Everything queued goes in one write.
        buffers_.clear();
        for (const auto& message : queue_) buffers_.emplace_back(message->data(), message->size());
        inFlight_ = queue_.size();
        net::async_write(socket_, buffers_,
                         [self = shared_from_this()](const boost::system::error_code& error, std::size_t) {
                             self->OnWritten(error);
                         });
    }
    void OnWritten(const boost::system::error_code& error) {
        writing_ = false;
        if (error || closed_) {
            Close();
            return;
        }
        for (std::size_t i = 0; i < inFlight_; ++i) {
            queuedBytes_ -= queue_.front()->size();
            queue_.pop_front();
        }
        if (!queue_.empty()) WriteNext();
    }
    // The client sends nothing more; a read ends when it goes away.
    void WatchForClose() {
        socket_.async_read_some(net::buffer(discard_),
                                [self = shared_from_this()](const boost::system::error_code& error, std::size_t) {
                                    if (error) {
                                        self->Close();
                                    } else if (!self->closed_) {
                                        self->WatchForClose();
                                    }
                                });
    }

    tcp::socket socket_;
    Server::Impl& server_;
    std::list<std::shared_ptr<EventClient>>::iterator self_;
    std::deque<std::shared_ptr<const std::string>> queue_;
    std::vector<net::const_buffer> buffers_;
    std::size_t inFlight_ = 0;
    std::size_t queuedBytes_ = 0;
    bool writing_ = false;
    bool closed_ = false;
    std::array<char, 256> discard_{};
};

// A connection that sends requests: each read with a deadline and within the header limit.
class Connection : public std::enable_shared_from_this<Connection> {
public:
    Connection(tcp::socket socket, Server::Impl& server)
        : stream_(std::move(socket)), buffer_(server.limits.maxHeaderBytes + 1024), server_(server) {
        ++server_.connections;
    }
    ~Connection() { --server_.connections; }

    void Read() {
        policy_ = SecurityPolicy(std::nullopt);
        server_.waiting.push_back(weak_from_this());
        waitingAt_ = std::prev(server_.waiting.end());
        listed_ = true;
        parser_.emplace();
        parser_->header_limit(static_cast<std::uint32_t>(server_.limits.maxHeaderBytes));
        stream_.expires_after(server_.limits.requestTimeout);
        http::async_read_header(stream_, buffer_, *parser_,
                         [self = shared_from_this()](const beast::error_code& error, std::size_t) { self->OnRead(error); });
    }

private:
    void OnRead(const beast::error_code& error) {
        Unlist();
        if (error) {
            if (error == http::error::header_limit || error == http::error::buffer_overflow) {
                Reply(431, "request line and headers too long", false, true);
            } else if (error.category() == http::make_error_code(http::error::bad_method).category() &&
                       error != http::error::end_of_stream && error != http::error::partial_message) {
                Reply(400, "bad request", false, true);
            } else {
                Close();
            }
            return;
        }
        const auto& request = parser_->get();
        const bool head = request.method() == http::verb::head;
        // No request here has a body: one that comes with one is answered, then closed.
        const bool body = parser_->chunked() || parser_->content_length().value_or(0) > 0;
        const Decision decision =
            Decide(View(request.method_string()), View(request.target()), View(request[http::field::host]), *server_.hosts);
        if (!decision.route) {
            server_.Refused(decision.refusal.status,
                            fmt::format("{} {} (Host {})", View(request.method_string()),
                                        View(request.target()).substr(0, 100),
                                        View(request[http::field::host]).substr(0, 100)));
            Reply(decision.refusal.status, decision.refusal.reason + "\n", head, true);
            return;
        }
        if (*decision.route == Route::Events && !head && !body) {
            if (server_.clients.size() >= server_.limits.maxEventClients) {
                server_.Refused(503, "an event client over the limit");
                Reply(503, "too many event clients\n", false, true);
                return;
            }
            std::optional<std::uint64_t> lastId;
            const std::string_view last = View(request["Last-Event-ID"]);
            if (!last.empty()) {
                std::uint64_t id = 0;
                bool digits = last.size() <= 19;
                for (const char c : last) {
                    if (c < '0' || c > '9') digits = false;
                    else id = id * 10 + static_cast<std::uint64_t>(c - '0');
                }
                if (digits) lastId = id;
            }
            stream_.expires_never();
            auto client = std::make_shared<EventClient>(stream_.release_socket(), server_);
            server_.clients.push_back(client);
            client->Start(std::prev(server_.clients.end()), lastId);
            return;
        }
        if (*decision.route == Route::Events) {
            http::response<http::empty_body> headers{http::status::ok, request.version()};
            CommonHeaders(headers, "text/event-stream; charset=utf-8", SecurityPolicy(Route::Events));
            headers.keep_alive(false);
            Write(std::move(headers), true);
            return;
        }
        policy_ = SecurityPolicy(decision.route);
        serve::Reply reply = server_.handler(*decision.route, decision.query);
        if (reply.pieces) {
            SendPieces(std::move(reply), head, body || !request.keep_alive());
            return;
        }
        if (!reply.body) reply.body = Text("");
        Send(std::move(reply), head, body || !request.keep_alive());
    }

    void Reply(unsigned status, std::string text, bool head, bool close) {
        serve::Reply reply;
        reply.status = status;
        reply.body = Text(std::move(text));
        Send(std::move(reply), head, close);
    }

    void Send(serve::Reply reply, bool head, bool close) {
        body_ = std::move(reply.body);
        http::response<http::span_body<const char>> response{static_cast<http::status>(reply.status), 11};
        CommonHeaders(response, reply.contentType, policy_);
        if (reply.status == 405) response.set(http::field::allow, "GET, HEAD");
        if (head) {
            response.content_length(body_->size());
        } else {
            response.body() = {body_->data(), body_->size()};
            response.prepare_payload();
        }
        response.keep_alive(!close);
        Write(std::move(response), close);
    }

    // A reply of pieces, in chunked transfer coding.
    void SendPieces(serve::Reply reply, bool head, bool close) {
        auto header = std::make_shared<http::response<http::empty_body>>(http::status::ok, 11);
        CommonHeaders(*header, reply.contentType, policy_);
        header->keep_alive(!close);
        if (head) {
            Write(std::move(*header), close);
            return;
        }
        header->chunked(true);
        pieces_ = std::move(reply.pieces);
        auto serializer = std::make_shared<http::response_serializer<http::empty_body>>(*header);
        stream_.expires_after(server_.limits.requestTimeout);
        http::async_write_header(stream_, *serializer,
                                 [self = shared_from_this(), header, serializer, close](const beast::error_code& error,
                                                                                        std::size_t) {
                                     if (error) {
                                         self->Close();
                                     } else {
                                         self->NextPiece(close);
                                     }
                                 });
    }

    void NextPiece(bool close) {
        piece_.clear();
        Piece next = Piece::More;
        while (next == Piece::More && piece_.empty()) next = pieces_(piece_);
        if (next == Piece::Broken) {
            pieces_ = nullptr;
            Close();
            return;
        }
        stream_.expires_after(server_.limits.requestTimeout);
        const auto written = [self = shared_from_this(), close, last = next == Piece::Done](
                                 const boost::system::error_code& error, std::size_t) {
            if (error) {
                self->Close();
            } else if (!last) {
                self->NextPiece(close);
            } else if (close) {
                self->Close();
            } else {
                self->pieces_ = nullptr;
                self->Read();
            }
        };
        if (next == Piece::Done) {
            net::async_write(stream_, http::make_chunk_last(), written);
        } else {
            net::async_write(stream_, http::make_chunk(net::buffer(piece_)), written);
        }
    }

    template <class Body>
    void Write(http::response<Body> response, bool close) {
        auto message = std::make_shared<http::response<Body>>(std::move(response));
        stream_.expires_after(server_.limits.requestTimeout);
        http::async_write(stream_, *message,
                          [self = shared_from_this(), message, close](const beast::error_code& error, std::size_t) {
                              if (error || close) {
                                  self->Close();
                              } else {
                                  self->body_.reset();
                                  self->Read();
                              }
                          });
    }

    void Close() {
        beast::error_code ignored;
        stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
        stream_.close();
    }

public:
    // Closed to make room for a newer connection.
    void Evict() {
        Unlist();
        Close();
    }

private:
    void Unlist() {
        if (!listed_) return;
        server_.waiting.erase(waitingAt_);
        listed_ = false;
    }

    std::list<std::weak_ptr<Connection>>::iterator waitingAt_;
    bool listed_ = false;
    beast::tcp_stream stream_;
    beast::flat_buffer buffer_;
    std::optional<http::request_parser<http::empty_body>> parser_;
    std::shared_ptr<const std::string> body_;
    std::function<Piece(std::string&)> pieces_;
    std::string piece_;
    std::string_view policy_ = SecurityPolicy(std::nullopt);  // of the request being answered
    Server::Impl& server_;
};

void Server::Impl::Accept() {
    acceptor.async_accept([this](const boost::system::error_code& error, tcp::socket socket) {
        if (error == net::error::operation_aborted) return;
        if (error) {
            // Out of descriptors or the like: try again shortly rather than spin.
            auto timer = std::make_shared<net::steady_timer>(io, std::chrono::milliseconds(100));
            timer->async_wait([this, timer](const boost::system::error_code& waited) {
                if (!waited) Accept();
            });
            return;
        }
        if (connections >= limits.maxConnections && !EvictOldestWaiting()) {
            boost::system::error_code ignored;
            socket.close(ignored);
            Refused(0, "a connection over the limit");
        } else {
            // Small messages go out at once: an event must not wait, behind Nagle's
            // algorithm, for the acknowledgement of the one before (up to 40 ms or more).
            boost::system::error_code ignored;
            socket.set_option(tcp::no_delay(true), ignored);
            std::make_shared<Connection>(std::move(socket), *this)->Read();
        }
        Accept();
    });
}

bool Server::Impl::EvictOldestWaiting() {
    while (!waiting.empty()) {
        if (const auto oldest = waiting.front().lock()) {
            oldest->Evict();
            return true;
        }
        waiting.pop_front();
    }
    return false;
}

void Server::Impl::Refused(unsigned status, std::string_view what) {
    lastRefusal = status == 0 ? std::string(what) : fmt::format("{} for {}", status, what);
    ++refusalsUntold;
    FlushRefusals(false);
}

void Server::Impl::FlushRefusals(bool force) {
    if (refusalsUntold == 0) return;
    const auto now = Clock::now();
    if (!force && lastRefusalTold != Clock::time_point{} && now - lastRefusalTold < std::chrono::seconds(10)) return;
    if (refusalsUntold == 1) {
        note(fmt::format("refused a client: {}", lastRefusal));
    } else {
        note(fmt::format("refused {} clients (the last: {})", refusalsUntold, lastRefusal));
    }
    refusalsUntold = 0;
    lastRefusalTold = now;
}

Server::Server(const std::string& address, std::uint16_t port, ServerLimits limits, Handler handler,
               std::function<void(const std::string&)> note)
    : impl_(std::make_unique<Impl>(limits, std::move(handler), std::move(note))) {
    boost::system::error_code error;
    const auto ip = net::ip::make_address(address, error);
    if (error) throw ServeError(fmt::format("\"{}\" is not an IP address", address));
    const tcp::endpoint endpoint(ip, port);
    auto& acceptor = impl_->acceptor;
    if (acceptor.open(endpoint.protocol(), error) ||
#if !defined(_WIN32)
        // Windows' SO_REUSEADDR would let a second server take the same port.
        acceptor.set_option(net::socket_base::reuse_address(true), error) ||
#endif
        acceptor.bind(endpoint, error) || acceptor.listen(net::socket_base::max_listen_connections, error)) {
        throw ServeError(fmt::format("cannot listen on {}:{}: {}", address, port, error.message()));
    }
    impl_->address = ip.to_string();
    impl_->port = acceptor.local_endpoint().port();
    impl_->hosts.emplace(impl_->address, impl_->port);
}

Server::~Server() = default;

std::uint16_t Server::port() const { return impl_->port; }

std::string Server::Url() const {
    const bool v6 = impl_->address.find(':') != std::string::npos;
    return fmt::format("http://{}{}{}:{}/", v6 ? "[" : "", impl_->address, v6 ? "]" : "", impl_->port);
}

void Server::Broadcast(std::uint64_t id, std::string message) {
    auto shared = Text(std::move(message));
    impl_->recent.emplace_back(id, shared);
    while (impl_->recent.size() > impl_->limits.replayEvents) impl_->recent.pop_front();
    // Send may drop a client (too far behind), which erases it from the list.
    for (auto it = impl_->clients.begin(); it != impl_->clients.end();) {
        auto client = *it++;
        client->Send(shared);
    }
}

std::size_t Server::EventClients() const { return impl_->clients.size(); }

void Server::Run(std::chrono::milliseconds period, const std::function<void()>& tick) {
    Impl& impl = *impl_;
    net::signal_set signals(impl.io, SIGINT, SIGTERM);
    signals.async_wait([this](const boost::system::error_code& error, int) {
        if (!error) Stop();
    });
    net::steady_timer timer(impl.io);
    std::function<void()> arm = [&] {
        timer.expires_after(period);
        timer.async_wait([&](const boost::system::error_code& error) {
            if (error) return;
            tick();
            impl.FlushRefusals(false);
            arm();
        });
    };
    arm();
    // A comment line now and then keeps proxies and idle-minded browsers from closing the stream.
    net::steady_timer keepAlive(impl.io);
    std::function<void()> armKeepAlive = [&] {
        keepAlive.expires_after(std::chrono::seconds(15));
        keepAlive.async_wait([&](const boost::system::error_code& error) {
            if (error) return;
            auto comment = Text(":\n\n");
            // A copy of each client first: Send may drop it from the list.
            for (auto it = impl.clients.begin(); it != impl.clients.end();) {
                const auto client = *it++;
                client->Send(comment);
            }
            armKeepAlive();
        });
    };
    armKeepAlive();
    impl.Accept();
    impl.tick = &tick;
    impl.io.run();
    impl.tick = nullptr;
    impl.FlushRefusals(true);
    // Close every client while the io_context still lives.
    for (auto it = impl.clients.begin(); it != impl.clients.end();) {
        const auto client = *it++;
        client->Close();
    }
    boost::system::error_code ignored;
    impl.acceptor.close(ignored);
    impl.io.restart();
    impl.io.poll();
}

void Server::Stop() { net::post(impl_->io, [this] { impl_->io.stop(); }); }

void Server::Wake() {
    if (impl_->wakePending.exchange(true)) return;
    net::post(impl_->io, [this] {
        impl_->wakePending = false;
        if (impl_->tick != nullptr) (*impl_->tick)();
    });
}

}  // namespace vantrel::report::serve
