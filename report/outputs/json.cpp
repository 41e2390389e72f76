// The history as JSON, through nlohmann::json.
#include "json.h"

#include <algorithm>
#include <cmath>

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

namespace {

json SessionObject(const History& history, std::size_t index) {
    const Session& session = history.sessions[index];
    return json{{"number", index + 1},
                {"start", FormatLocalTime(session.start)},
                {"end", FormatLocalTime(session.end)},
                {"matches", session.matchCount},
                {"firstMatch", session.firstMatch},
                {"loadFailed", session.loadFailed}};
}

}  // namespace

double Hundredths(double value) { return std::round(value * 100.0) / 100.0; }

std::string MatchJson(const History& history, std::size_t index) { return MatchValue(history, index).dump(); }

std::string SessionJson(const History& history, std::size_t index) { return SessionObject(history, index).dump(); }

bool HistoryJsonPieces::Next(const History& history, std::string& out, std::size_t matchesPerPiece) {
    if (stage_ == 0) {
        if (next_ == 0) out += "{\"sessions\":[";
        const std::size_t sessions = std::min(sessions_, history.sessions.size());
        const std::size_t end = std::min(sessions, next_ + matchesPerPiece);
        for (; next_ < end; ++next_) {
            if (next_ > 0) out += ',';
            out += SessionObject(history, next_).dump();
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
        out += MatchValue(history, next_).dump();
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
