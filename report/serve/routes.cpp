// Paths, methods and the Host check.
#include "routes.h"

#include <array>
#include <charconv>

namespace vantrel::report::serve {
namespace {

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

bool IsIpv4(std::string_view text) {
    int parts = 0;
    while (true) {
        std::size_t digits = 0;
        unsigned value = 0;
        while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9' && digits < 4) {
            value = value * 10 + static_cast<unsigned>(text[digits] - '0');
            ++digits;
        }
        if (digits == 0 || digits > 3 || value > 255) return false;
        ++parts;
        text.remove_prefix(digits);
        if (text.empty()) return parts == 4;
        if (text.front() != '.' || parts == 4) return false;
        text.remove_prefix(1);
    }
}

bool IsBracketedIpv6(std::string_view text) {
    if (text.size() < 4 || text.front() != '[' || text.back() != ']') return false;
    for (const char c : text.substr(1, text.size() - 2)) {
        const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (!hex && c != ':' && c != '.') return false;
    }
    return true;
}

// "HOST:PORT" split at the last colon (an IPv6 host is bracketed).
bool SplitHostPort(std::string_view text, std::string_view& host, std::uint16_t& port) {
    const auto colon = text.rfind(':');
    if (colon == std::string_view::npos || colon == 0) return false;
    host = text.substr(0, colon);
    const std::string_view digits = text.substr(colon + 1);
    if (digits.empty() || digits.size() > 5) return false;
    unsigned value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size() || value > 65535) return false;
    if (host.find(':') != std::string_view::npos && !IsBracketedIpv6(host)) return false;
    port = static_cast<std::uint16_t>(value);
    return true;
}

}  // namespace

bool IsLoopback(std::string_view address) {
    return address == "::1" || (address.substr(0, 4) == "127." && IsIpv4(address));
}

HostCheck::HostCheck(std::string_view boundAddress, std::uint16_t port) : port_(port) {
    const std::string bound = Lower(boundAddress);
    anyAddress_ = bound == "0.0.0.0" || bound == "::";
    const std::string suffix = ":" + std::to_string(port);
    allowed_.push_back("localhost" + suffix);
    allowed_.push_back("127.0.0.1" + suffix);
    // An IPv6 address is bracketed in a Host header.
    std::string own;
    if (bound.find(':') != std::string::npos) {
        own.append("[").append(bound).append("]");
    } else {
        own = bound;
    }
    allowed_.push_back(own + suffix);
}

bool HostCheck::Allows(std::string_view host) const {
    const std::string lower = Lower(host);
    for (const std::string& allowed : allowed_) {
        if (lower == allowed) return true;
    }
    if (!anyAddress_) return false;
    std::string_view name;
    std::uint16_t port = 0;
    return SplitHostPort(lower, name, port) && port == port_ && (IsIpv4(name) || IsBracketedIpv6(name));
}

Decision Decide(std::string_view method, std::string_view target, std::string_view host, const HostCheck& hosts) {
    Decision decision;
    if (!hosts.Allows(host)) {
        decision.refusal = {403, "this server answers only to its own address (Host header refused)"};
        return decision;
    }
    if (method != "GET" && method != "HEAD") {
        decision.refusal = {405, "only GET and HEAD"};
        return decision;
    }
    std::string_view path = target;
    if (const auto question = target.find('?'); question != std::string_view::npos) {
        path = target.substr(0, question);
        decision.query = target.substr(question + 1);
    }
    static constexpr std::array<std::pair<std::string_view, Route>, 8> kPaths{{
        {"/", Route::Page},
        {"/overlay", Route::Overlay},
        {"/events", Route::Events},
        {"/api/history.json", Route::HistoryJson},
        {"/api/session.json", Route::SessionJson},
        {"/setup", Route::Setup},
        {"/api/text", Route::Text},
        {"/api/insights.json", Route::InsightsJson},
    }};
    for (const auto& [known, route] : kPaths) {
        if (path == known) {
            decision.route = route;
            return decision;
        }
    }
    decision.query = {};
    decision.refusal = {404, "no such page"};
    return decision;
}

const std::string* Query::Get(std::string_view name) const {
    for (const auto& [key, value] : values) {
        if (key == name) return &value;
    }
    return nullptr;
}

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool Unescape(std::string_view text, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out += ' ';
        } else if (text[i] != '%') {
            out += text[i];
        } else {
            const int high = i + 1 < text.size() ? HexDigit(text[i + 1]) : -1;
            const int low = i + 2 < text.size() ? HexDigit(text[i + 2]) : -1;
            if (high < 0 || low < 0) return false;
            out += static_cast<char>(high * 16 + low);
            i += 2;
        }
    }
    return true;
}

}  // namespace

Query ParseQuery(std::string_view query) {
    Query parsed;
    while (!query.empty()) {
        const std::size_t amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
        if (pair.empty()) continue;
        const std::size_t equals = pair.find('=');
        std::string name, value;
        if (!Unescape(pair.substr(0, equals), name) ||
            !Unescape(equals == std::string_view::npos ? std::string_view() : pair.substr(equals + 1), value)) {
            parsed.ok = false;
            return parsed;
        }
        parsed.values.emplace_back(std::move(name), std::move(value));
    }
    return parsed;
}

std::string_view SecurityPolicy(std::optional<Route> route) {
    static constexpr std::string_view kNoFrames =
        "default-src 'none'; script-src 'unsafe-inline'; style-src 'unsafe-inline'; connect-src 'self'; "
        "img-src data:; base-uri 'none'; form-action 'none'; frame-ancestors 'none'";
    static constexpr std::string_view kOverlay =
        "default-src 'none'; script-src 'unsafe-inline'; style-src 'unsafe-inline'; connect-src 'self'; "
        "img-src data:; base-uri 'none'; form-action 'none'; frame-ancestors 'self'";
    static constexpr std::string_view kSetup =
        "default-src 'none'; script-src 'unsafe-inline'; style-src 'unsafe-inline'; connect-src 'self'; "
        "img-src data:; frame-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'";
    if (route == Route::Overlay) return kOverlay;
    if (route == Route::Setup) return kSetup;
    return kNoFrames;
}

bool ParseListenAddress(std::string_view text, std::string& address, std::uint16_t& port) {
    std::string_view host;
    if (!SplitHostPort(text, host, port)) return false;
    const std::string lower = Lower(host);
    if (lower == "localhost") {
        address = "127.0.0.1";
        return true;
    }
    if (IsBracketedIpv6(host)) {
        address = std::string(host.substr(1, host.size() - 2));
        return true;
    }
    if (!IsIpv4(host)) return false;
    address = std::string(host);
    return true;
}

}  // namespace vantrel::report::serve
