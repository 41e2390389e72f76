// The history as JSON, through nlohmann::json.
#include "json.h"

#include <algorithm>
#include <cmath>

#include <nlohmann/json.hpp>

namespace vantrel::report::serve {
namespace {

using json = nlohmann::ordered_json;

json Rating(std::optional<double> value) {
    if (!value || !std::isfinite(*value)) return nullptr;
    return Hundredths(*value);
}

json MatchObject(const History& history, std::size_t index) {
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
                {"before", Rating(before)},
                {"after", Rating(after)},
                {"change", Rating(change)}};
}

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

std::string MatchJson(const History& history, std::size_t index) { return MatchObject(history, index).dump(); }

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
        out += MatchObject(history, next_).dump();
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

SessionGlance GlanceAtLastSession(const History& history) {
    SessionGlance glance;
    if (history.sessions.empty()) return glance;
    glance.session = history.sessions.size();
    const Session& session = history.sessions.back();
    const std::size_t end = std::min<std::size_t>(history.matches.size(), std::size_t{session.firstMatch} + session.matchCount);
    for (std::size_t i = session.firstMatch; i < end; ++i) {
        const Match& match = history.matches[i];
        SessionGlance::Mode& mode = glance.modes[match.mode];
        glance.played[match.mode] = true;
        (match.won ? mode.wins : mode.losses) += 1;
        if (const auto change = match.change()) {
            mode.change += *change;
            ++mode.knownChanges;
        }
        if (match.after) {
            mode.rating = *match.after;
        } else if (match.before != 0.0f) {
            mode.rating = match.before;
        }
        if (glance.last && history.matches[*glance.last].won == match.won) {
            ++glance.streak;
        } else {
            glance.streak = 1;
        }
        glance.last = i;
        glance.streakWon = match.won;
    }
    return glance;
}

std::string SessionGlanceJson(const History& history, const SessionGlance& glance) {
    json modes = json::array();
    for (std::size_t m = 0; m < kModeCount; ++m) {
        if (!glance.played[m]) continue;
        const SessionGlance::Mode& mode = glance.modes[m];
        std::optional<double> change;
        if (mode.knownChanges > 0) change = mode.change;
        modes.push_back(json{{"mode", kModeLabels[m]},
                             {"wins", mode.wins},
                             {"losses", mode.losses},
                             {"change", Rating(change)},
                             {"rating", Rating(mode.rating)}});
    }
    json out{{"session", glance.session == 0 ? json(nullptr) : json(glance.session)},
             {"modes", std::move(modes)},
             {"last", glance.last ? MatchObject(history, *glance.last) : json(nullptr)},
             {"streak", glance.last ? json{{"result", glance.streakWon ? "won" : "lost"}, {"count", glance.streak}}
                                    : json(nullptr)}};
    return out.dump();
}

}  // namespace vantrel::report::serve
