// The session at a glance, and its JSON.
#include "glance.h"

#include <algorithm>

#include "divisions.h"
#include "outputs/json.h"

namespace vantrel::report::serve {
namespace {

std::optional<double> RatingOf(const Match& match) {
    if (match.after) return *match.after;
    if (match.before != 0.0f) return match.before;
    return std::nullopt;
}

}  // namespace

KnownRatings KnownRatings::Of(const History& history) {
    KnownRatings known;
    // From the newest back, until every mode has one.
    std::size_t missing = kModeCount;
    for (std::size_t i = history.matches.size(); i > 0 && missing > 0; --i) {
        const Match& match = history.matches[i - 1];
        if (known.from[match.mode] != 0) continue;
        if (const auto rating = RatingOf(match)) {
            known.rating[match.mode] = rating;
            known.from[match.mode] = i;
            --missing;
        }
    }
    return known;
}

void KnownRatings::Take(const History& history, std::size_t index) {
    if (index >= history.matches.size()) return;
    const Match& match = history.matches[index];
    if (index + 1 < from[match.mode]) return;  // a newer match of the mode already has one
    if (const auto value = RatingOf(match)) {
        rating[match.mode] = value;
        from[match.mode] = index + 1;
    }
}

SessionGlance GlanceAt(const History& history, const StreamSpan& span, const KnownRatings& known) {
    SessionGlance glance;
    glance.known = known;
    if (span.plugin) glance.session = *span.plugin + 1;
    glance.firstMatch = std::min(span.first, history.matches.size());
    glance.matchCount = history.matches.size() - glance.firstMatch;
    for (std::size_t i = glance.firstMatch; i < history.matches.size(); ++i) {
        const Match& match = history.matches[i];
        SessionGlance::Mode& mode = glance.modes[match.mode];
        glance.played[match.mode] = true;
        (match.won ? mode.wins : mode.losses) += 1;
        if (const auto change = match.change()) {
            mode.change += *change;
            ++mode.knownChanges;
        }
        if (!mode.first) {
            if (match.before != 0.0f) {
                mode.first = match.before;
            } else if (match.after) {
                mode.first = *match.after;
            }
        }
        if (const auto rating = RatingOf(match)) mode.rating = rating;
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

SessionGlance GlanceAtLastSession(const History& history) {
    return GlanceAt(history, SelectStream(history, {}, 0), KnownRatings::Of(history));
}

std::string SessionGlanceJson(const History& history, const SessionGlance& glance, const StreamSession& stream) {
    using json = nlohmann::ordered_json;
    const auto label = [](const std::optional<RankBand>& band) { return band ? json(band->Label()) : json(nullptr); };
    json modes = json::array();
    for (std::size_t m = 0; m < kModeCount; ++m) {
        if (!glance.played[m]) continue;
        const SessionGlance::Mode& mode = glance.modes[m];
        std::optional<double> change;
        if (mode.knownChanges > 0) change = mode.change;
        DivisionStanding standing;
        if (const auto current = glance.Current(m)) standing = StandingOf(m, *current);
        std::optional<double> rankFrom, nextFrom, toNext;
        if (standing.current) rankFrom = standing.current->start;
        if (standing.next) {
            nextFrom = standing.next->start;
            toNext = standing.toGo;
        }
        modes.push_back(json{{"mode", kModeLabels[m]},
                             {"wins", mode.wins},
                             {"losses", mode.losses},
                             {"change", RatingValue(change)},
                             {"rating", RatingValue(mode.rating)},
                             {"first", RatingValue(mode.first)},
                             {"rank", label(standing.current)},
                             {"rankFrom", RatingValue(rankFrom)},
                             {"next", label(standing.next)},
                             {"nextFrom", RatingValue(nextFrom)},
                             {"toNext", RatingValue(toNext)}});
    }
    json known = json::object();
    for (std::size_t m = 0; m < kModeCount; ++m) known[kModeLabels[m]] = RatingValue(glance.known.rating[m]);
    const bool any = glance.matchCount > 0;
    json out{{"session", glance.session == 0 ? json(nullptr) : json(glance.session)},
             {"stream", stream.Text()},
             {"from", any ? json(FormatLocalTime(history.matches[glance.firstMatch].time)) : json(nullptr)},
             {"matches", glance.matchCount},
             {"modes", std::move(modes)},
             {"known", std::move(known)},
             {"last", glance.last ? MatchValue(history, *glance.last) : json(nullptr)},
             {"streak", glance.last ? json{{"result", glance.streakWon ? "won" : "lost"}, {"count", glance.streak}}
                                    : json(nullptr)}};
    return out.dump();
}

}  // namespace vantrel::report::serve
