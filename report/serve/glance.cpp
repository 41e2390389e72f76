// The last session at a glance, and its JSON.
#include "glance.h"

#include <algorithm>

#include "outputs/json.h"

namespace vantrel::report::serve {

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
    using json = nlohmann::ordered_json;
    json modes = json::array();
    for (std::size_t m = 0; m < kModeCount; ++m) {
        if (!glance.played[m]) continue;
        const SessionGlance::Mode& mode = glance.modes[m];
        std::optional<double> change;
        if (mode.knownChanges > 0) change = mode.change;
        modes.push_back(json{{"mode", kModeLabels[m]},
                             {"wins", mode.wins},
                             {"losses", mode.losses},
                             {"change", RatingValue(change)},
                             {"rating", RatingValue(mode.rating)}});
    }
    json out{{"session", glance.session == 0 ? json(nullptr) : json(glance.session)},
             {"modes", std::move(modes)},
             {"last", glance.last ? MatchValue(history, *glance.last) : json(nullptr)},
             {"streak", glance.last ? json{{"result", glance.streakWon ? "won" : "lost"}, {"count", glance.streak}}
                                    : json(nullptr)}};
    return out.dump();
}

}  // namespace vantrel::report::serve
