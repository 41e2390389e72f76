// What the server answers, decided apart from the network: the fixed set of paths, the
// methods, the Host check that keeps other web sites out, the reading of a query, and the
// security policy of each route's replies (who may frame them).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vantrel::report::serve {

enum class Route { Page, Overlay, Events, HistoryJson, SessionJson, Setup, Text, InsightsJson };

// The Host header values a request may carry: the bound address, localhost and 127.0.0.1,
// each with the port. Bound to every address (0.0.0.0 or ::), any IP address with the
// port: a name is what a page of another site would use (a DNS name of theirs that
// resolves to this machine), an address is not.
class HostCheck {
public:
    HostCheck(std::string_view boundAddress, std::uint16_t port);
    bool Allows(std::string_view host) const;

private:
    std::vector<std::string> allowed_;  // lower case
    std::uint16_t port_;
    bool anyAddress_ = false;
};

struct Refusal {
    unsigned status = 0;
    std::string reason;  // one line, for the body
};

// GET and HEAD only, one of the fixed paths, an allowed Host. Returns the route, or how to
// refuse. The query is handed on as it came: the pages' scripts read theirs, the JSON and
// text routes parse theirs with ParseQuery.
struct Decision {
    std::optional<Route> route;
    Refusal refusal;
    std::string_view query;  // after '?', without it
};
Decision Decide(std::string_view method, std::string_view target, std::string_view host, const HostCheck& hosts);

// A query's name=value pairs, percent-decoded ('+' is a space), in order. `ok` is false
// when an escape is malformed.
struct Query {
    bool ok = true;
    std::vector<std::pair<std::string, std::string>> values;
    // The first value of `name`, or null.
    const std::string* Get(std::string_view name) const;
};
Query ParseQuery(std::string_view query);

// The Content-Security-Policy of a route's replies (and of refusals, with none): our pages
// load and connect to this server only; no other site may frame any of them. /setup
// frames the overlay for its preview, so the overlay may be framed by this origin alone.
std::string_view SecurityPolicy(std::optional<Route> route);

// "127.0.0.1:9000", "[::1]:9000", "localhost:9000" into an address and a port (0: any free
// port); false for anything else. A missing value gives 127.0.0.1 and the default port.
inline constexpr std::uint16_t kDefaultPort = 7433;
bool ParseListenAddress(std::string_view text, std::string& address, std::uint16_t& port);
bool IsLoopback(std::string_view address);

}  // namespace vantrel::report::serve
