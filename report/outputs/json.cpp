// The history as JSON, through nlohmann::json.
#include "json.h"

#include <algorithm>
#include <array>
#include <cmath>

#include <fmt/compile.h>
#include <fmt/format.h>
#include <nlohmann/json.hpp>

namespace vantrel::report {
namespace {
using json = nlohmann::ordered_json;
}  // namespace

json RatingValue(std::optional<double> value) {
    if (!value || !std::isfinite(*value)) return nullptr;
    return Hundredths(*value);
}

json MatchValue(const History& history, std::size_t index) {
    const Match& match = history.matches[index];
    std::optional<double> before;
    if (match.before != 0.0f) before = match.before;
    std::optional<double> after;
    if (match.after) after = *match.after;
    std::optional<double> change;
    if (const auto c = match.change()) change = *c;
    return json{{"time", FormatLocalTime(match.time)},
                {"session", match.session + 1},
                {"mode", kModeLabels[match.mode]},
                {"result", match.won ? "won" : "lost"},
                {"before", RatingValue(before)},
                {"after", RatingValue(after)},
                {"change", RatingValue(change)}};
}

json SessionValue(const History& history, std::size_t index) {
    const Session& session = history.sessions[index];
    return json{{"number", index + 1},
                {"start", FormatLocalTime(session.start)},
                {"end", FormatLocalTime(session.end)},
                {"matches", session.matchCount},
                {"firstMatch", session.firstMatch},
                {"loadFailed", session.loadFailed}};
}

namespace {

// The texts of a match and a session as nlohmann::json dumps MatchValue and SessionValue,
// byte for byte, made without a JSON value per match: a long history's text is mostly
// these (tests/serve compares the two).
void AppendRating(std::string& out, std::optional<double> value) {
    if (!value || !std::isfinite(*value)) {
        out += "null";
        return;
    }
    // nlohmann::json's own number writer, the one its dump() uses.
    std::array<char, 64> digits;
    const char* end = nlohmann::detail::to_chars(digits.data(), digits.data() + digits.size(), Hundredths(*value));
    out.append(digits.data(), static_cast<std::size_t>(end - digits.data()));
}

// Formats into a buffer on the stack and appends that: formatting into the string itself
// would grow it (zero-filled) for every field. The formats below write at most 100
// characters (numbers of at most 20 digits, a mode label, a time).
template <typename Format, typename... Args>
void AppendFormatted(std::string& out, const Format& format, const Args&... args) {
    std::array<char, 128> buffer;
    const char* end = fmt::format_to(buffer.data(), format, args...);
    out.append(buffer.data(), static_cast<std::size_t>(end - buffer.data()));
}

void AppendTime(std::string& out, LocalSeconds seconds) {
    const CivilTime t = ToCivilTime(seconds);
    AppendFormatted(out, FMT_COMPILE("\"{:04d}-{:02d}-{:02d} {:02d}:{:02d}:{:02d}\""), t.year, t.month, t.day, t.hour,
                    t.minute, t.second);
}

void AppendMatch(std::string& out, const History& history, std::size_t index) {
    const Match& match = history.matches[index];
    out += "{\"time\":";
    AppendTime(out, match.time);
    AppendFormatted(out, FMT_COMPILE(",\"session\":{},\"mode\":\"{}\",\"result\":\"{}\",\"before\":"), match.session + 1,
                    kModeLabels[match.mode], match.won ? "won" : "lost");
    AppendRating(out, match.before != 0.0f ? std::optional<double>(match.before) : std::nullopt);
    out += ",\"after\":";
    AppendRating(out, match.after ? std::optional<double>(*match.after) : std::nullopt);
    out += ",\"change\":";
    const std::optional<float> change = match.change();
    AppendRating(out, change ? std::optional<double>(*change) : std::nullopt);
    out += '}';
}

void AppendSession(std::string& out, const History& history, std::size_t index) {
    const Session& session = history.sessions[index];
    AppendFormatted(out, FMT_COMPILE("{{\"number\":{},\"start\":"), index + 1);
    AppendTime(out, session.start);
    out += ",\"end\":";
    AppendTime(out, session.end);
    AppendFormatted(out, FMT_COMPILE(",\"matches\":{},\"firstMatch\":{},\"loadFailed\":{}}}"), session.matchCount,
                    session.firstMatch, session.loadFailed);
}

}  // namespace

double Hundredths(double value) { return std::round(value * 100.0) / 100.0; }

std::string MatchJson(const History& history, std::size_t index) {
    std::string text;
    AppendMatch(text, history, index);
    return text;
}

std::string SessionJson(const History& history, std::size_t index) {
    std::string text;
    AppendSession(text, history, index);
    return text;
}

bool HistoryJsonPieces::Next(const History& history, std::string& out, std::size_t matchesPerPiece) {
    if (stage_ == 0) {
        if (next_ == 0) out += "{\"sessions\":[";
        const std::size_t sessions = std::min(sessions_, history.sessions.size());
        const std::size_t end = std::min(sessions, next_ + matchesPerPiece);
        for (; next_ < end; ++next_) {
            if (next_ > 0) out += ',';
            AppendSession(out, history, next_);
        }
        if (next_ >= sessions) {
            out += "],\"matches\":[";
            stage_ = 1;
            next_ = 0;
        }
        return true;
    }
    if (stage_ == 2) return false;
    const std::size_t end = std::min({matches_, history.matches.size(), next_ + matchesPerPiece});
    for (; next_ < end; ++next_) {
        if (next_ > 0) out += ',';
        AppendMatch(out, history, next_);
    }
    if (next_ >= std::min(matches_, history.matches.size())) {
        out += "]}";
        stage_ = 2;
    }
    return true;
}

std::string HistoryJson(const History& history) {
    std::string out;
    out.reserve(64 + history.sessions.size() * 120 + history.matches.size() * 130);
    HistoryJsonPieces pieces(history);
    while (pieces.Next(history, out, history.matches.size() + 1)) {
    }
    return out;
}

}  // namespace vantrel::report
