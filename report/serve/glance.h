// The session at a glance: what the overlay, /api/session.json, /api/text and the text
// files show of the session being played (the plug-in's last session, or the stream's
// session chosen by stream_session.h).
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>

#include "history.h"
#include "stream_session.h"

namespace vantrel::report::serve {

// The last known rating of each mode over the whole history: the rating after its newest
// match that has one, or else that match's rating before. Kept up to date as matches come.
struct KnownRatings {
    std::array<std::optional<double>, kModeCount> rating;
    std::array<std::size_t, kModeCount> from{};  // 1 + the index of the match it is from; 0: none

    static KnownRatings Of(const History& history);
    // Match `index` is new or its rating after became known.
    void Take(const History& history, std::size_t index);
};

// A session at a glance: per mode played its wins, losses, summed known change, first and
// current rating; the last match; the streak; and every mode's last known rating.
struct SessionGlance {
    struct Mode {
        int wins = 0;
        int losses = 0;
        double change = 0.0;
        int knownChanges = 0;
        std::optional<double> rating;  // the last known in the session
        std::optional<double> first;   // the first known in the session: a match's rating before, else after
    };
    std::size_t session = 0;     // 1-based; 0 when there is none
    std::array<Mode, kModeCount> modes;
    std::array<bool, kModeCount> played{};
    std::optional<std::size_t> last;  // index of the session's last match
    int streak = 0;                   // consecutive results equal to the last match's
    bool streakWon = false;
    std::size_t firstMatch = 0;       // the session's matches: [firstMatch, last]
    std::size_t matchCount = 0;
    KnownRatings known;               // over the whole history

    // The rating a mode stands at: the session's, else the last known one.
    std::optional<double> Current(std::size_t mode) const {
        return modes[mode].rating ? modes[mode].rating : known.rating[mode];
    }
};
SessionGlance GlanceAtLastSession(const History& history);
// The matches of `span` at a glance; `known` is KnownRatings::Of(history), kept.
SessionGlance GlanceAt(const History& history, const StreamSpan& span, const KnownRatings& known);

// {"session", "stream", "from", "matches", "modes": [played: wins, losses, change, rating,
// first, rank, rankFrom, next, nextFrom, toNext], "known": {mode: rating}, "last", "streak"}.
std::string SessionGlanceJson(const History& history, const SessionGlance& glance,
                              const StreamSession& stream = {});

}  // namespace vantrel::report::serve
