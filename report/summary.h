// What every output shares of a history: the filter the user asked for, and the
// per-session and per-mode numbers of the tables.
#pragma once

#include <array>
#include <cstddef>
#include <optional>

#include "history.h"

namespace vantrel::report {

// What the user asked to see (by default: everything).
struct Filter {
    std::array<bool, kModeCount> modes{true, true, true, true};
    std::optional<LocalSeconds> since;   // matches at or after this local time
    std::optional<std::size_t> lastSessions;
};

// Keeps only what the filter selects, in place: matches of other modes or earlier times
// go, sessions left without matches go (unless nothing is filtered), sessions are
// renumbered.
void ApplyFilter(History& history, const Filter& filter);

// Per session and mode: the numbers of the session table.
struct ModeTally {
    int wins = 0;
    int losses = 0;
    float change = 0.0f;                 // sum of the known changes
    int knownChanges = 0;                // how many matches had one
    std::optional<float> lastRating;     // the last known rating at the session's end
};
struct SessionSummary {
    std::array<ModeTally, kModeCount> modes;
};
std::vector<SessionSummary> SummariseSessions(const History& history);

// Per mode over the whole (filtered) history.
struct ModeSummary {
    int matches = 0;
    int wins = 0;
    int losses = 0;
    std::optional<float> firstRating;    // first known rating (a match's before)
    std::optional<float> lastRating;     // last known rating
    std::optional<float> peakRating;
    int longestWinStreak = 0;
    int longestLossStreak = 0;
};
std::array<ModeSummary, kModeCount> SummariseModes(const History& history);

}  // namespace vantrel::report
