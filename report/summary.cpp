// Filtering the history and the per-session and per-mode numbers every output shows.
#include <algorithm>

#include "summary.h"

namespace vantrel::report {
namespace {
// A rating of 0.0 is how the plug-in says "not known yet" (a mode never read, or "Other"
// before its first poll): it is no rating to show.
std::optional<float> Known(float rating) {
    if (rating == 0.0f) return std::nullopt;
    return rating;
}

// The rating known after a match: what its poll found, or else what it started from.
std::optional<float> RatingAfter(const Match& match) { return match.after ? match.after : Known(match.before); }
}  // namespace

void ApplyFilter(History& history, const Filter& filter) {
    const bool allModes = std::all_of(filter.modes.begin(), filter.modes.end(), [](bool on) { return on; });
    const bool narrows = !allModes || filter.since.has_value();
    if (!narrows && (!filter.lastSessions || history.sessions.size() <= *filter.lastSessions)) return;

    // In place, front to back: what is kept never lies after what is read.
    std::vector<Session>& sessions = history.sessions;
    std::vector<Match>& matches = history.matches;
    std::size_t keptSessions = 0;
    std::size_t keptMatches = 0;
    for (std::size_t s = 0; s < sessions.size(); ++s) {
        Session session = sessions[s];
        const std::size_t first = session.firstMatch;
        const std::size_t end = first + session.matchCount;
        session.firstMatch = static_cast<std::uint32_t>(keptMatches);
        session.matchCount = 0;
        for (std::size_t i = first; i < end; ++i) {
            const Match& match = matches[i];
            if (!filter.modes[match.mode]) continue;
            if (filter.since && match.time < *filter.since) continue;
            matches[keptMatches++] = match;
            ++session.matchCount;
        }
        if (narrows && session.matchCount == 0) continue;
        sessions[keptSessions++] = session;
    }
    sessions.resize(keptSessions);
    matches.resize(keptMatches);

    std::size_t dropSessions = 0;
    if (filter.lastSessions && sessions.size() > *filter.lastSessions) dropSessions = sessions.size() - *filter.lastSessions;
    const std::uint32_t dropMatches = dropSessions == 0                ? 0
                                      : dropSessions == sessions.size() ? static_cast<std::uint32_t>(matches.size())
                                                                        : sessions[dropSessions].firstMatch;
    sessions.erase(sessions.begin(), sessions.begin() + static_cast<std::ptrdiff_t>(dropSessions));
    matches.erase(matches.begin(), matches.begin() + dropMatches);
    for (std::uint32_t s = 0; s < sessions.size(); ++s) {
        sessions[s].firstMatch -= dropMatches;
        for (std::uint32_t i = sessions[s].firstMatch; i < sessions[s].firstMatch + sessions[s].matchCount; ++i) {
            matches[i].session = s;
        }
    }
}

std::vector<SessionSummary> SummariseSessions(const History& history) {
    std::vector<SessionSummary> summaries(history.sessions.size());
    for (std::size_t s = 0; s < history.sessions.size(); ++s) {
        const Session& session = history.sessions[s];
        for (std::uint32_t i = session.firstMatch; i < session.firstMatch + session.matchCount; ++i) {
            const Match& match = history.matches[i];
            ModeTally& tally = summaries[s].modes[match.mode];
            ++(match.won ? tally.wins : tally.losses);
            if (const auto change = match.change()) {
                tally.change += *change;
                ++tally.knownChanges;
            }
            if (const auto rating = RatingAfter(match)) tally.lastRating = rating;
        }
    }
    return summaries;
}

std::array<ModeSummary, kModeCount> SummariseModes(const History& history) {
    std::array<ModeSummary, kModeCount> summaries{};
    std::array<int, kModeCount> winRun{};
    std::array<int, kModeCount> lossRun{};
    const auto see = [](ModeSummary& summary, std::optional<float> rating) {
        if (!rating) return;
        if (!summary.firstRating) summary.firstRating = rating;
        summary.lastRating = rating;
        if (!summary.peakRating || *rating > *summary.peakRating) summary.peakRating = rating;
    };
    for (const Match& match : history.matches) {
        ModeSummary& summary = summaries[match.mode];
        ++summary.matches;
        if (match.won) {
            ++summary.wins;
            lossRun[match.mode] = 0;
            summary.longestWinStreak = std::max(summary.longestWinStreak, ++winRun[match.mode]);
        } else {
            ++summary.losses;
            winRun[match.mode] = 0;
            summary.longestLossStreak = std::max(summary.longestLossStreak, ++lossRun[match.mode]);
        }
        see(summary, Known(match.before));
        if (match.after) see(summary, match.after);
    }
    return summaries;
}

}  // namespace vantrel::report
