// What the history says about the player, never more than the sample supports: win rates
// with their 95% intervals (overall, recent form, by hour, weekday and place in the
// session, after a win or a loss), whether a difference is beyond chance, and the road to
// the next division (or a goal) simulated from the player's recent rating changes. The
// outputs put these into words (outputs/insights_text.h), JSON (outputs/insights_json.h)
// and pictures (outputs/insights_page.h).
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "calendar.h"
#include "history.h"
#include "stats.h"

namespace vantrel::report {

inline constexpr int kFormMatches = 20;        // the recent form: the last this many matches
inline constexpr int kFewMatches = 10;         // a bucket with fewer is too small to put in words
inline constexpr int kStandoutMatches = 20;    // an hour or weekday is tested with at least this many
inline constexpr double kChanceLevel = 0.05;   // "beyond chance": p below this
inline constexpr int kRoadRuns = 10'000;       // simulated runs towards a rating
inline constexpr int kRoadMaxMatches = 1'000;  // a run that has not arrived by then stops
inline constexpr int kRoadBasis = 100;         // drawn from at most the last this many known changes
inline constexpr int kRoadMinBasis = 10;       // fewer known changes: no simulation

// Matches won of matches played, with the 95% Wilson interval.
struct Rate {
    int matches = 0;
    int wins = 0;
    void Add(bool won) {
        ++matches;
        wins += won ? 1 : 0;
    }
    std::optional<double> Share() const;
    std::optional<Interval> Bounds() const;
};

// The rate after a win against the rate after a loss.
struct Tilt {
    double difference = 0.0;  // afterWin - afterLoss
    double p = 1.0;           // two-sided pooled two-proportion z-test
    bool beyondChance = false;
};

// An hour (0-23) or weekday (0 Monday to 6 Sunday) whose rate differs from the rest of the
// matches beyond chance, with Bonferroni's correction for the buckets tested.
struct Standout {
    int bucket = 0;
    double p = 1.0;
    bool more = false;  // won more there than at other times
};

// The matches needed to reach a rating, simulated from the recent rating changes.
struct Road {
    double target = 0.0;
    std::string division;  // the division that starts at `target` ("D3 D3"); empty for a goal
    double toGo = 0.0;     // target - the last known rating
    int basis = 0;         // the known rating changes drawn from
    // The simulation, when basis >= kRoadMinBasis:
    bool simulated = false;
    int runs = 0;
    int arrived = 0;  // runs that reached the target within kRoadMaxMatches
    int median = 0, low = 0, high = 0;  // 50th, 10th and 90th percentiles of the arrived runs' matches
    double Reached() const { return runs > 0 ? static_cast<double>(arrived) / runs : 0.0; }
};

struct RatingAt {
    float rating = 0.0f;
    LocalSeconds time = 0;
};

struct SessionChange {
    std::size_t session = 0;  // 1-based
    double change = 0.0;      // sum of the mode's known changes in it
};

// One mode's insights, or every mode's together (`overall`: no ratings there, since the
// modes' ratings do not add up).
struct ModeInsights {
    Rate winRate;
    Rate form;                           // the last kFormMatches matches
    std::vector<std::uint8_t> formCurve;  // wins among the kFormMatches matches up to each match, from the 20th on
    std::array<Rate, 24> byHour;         // by the local hour of the match's line
    std::array<Rate, 7> byWeekday;       // Monday first
    std::array<Rate, 4> bySessionMatch;  // the match's place in its session: 1-3, 4-6, 7-10, 11 on
    Rate afterWin, afterLoss, afterLosses2;  // after the previous match in the session was a win, a loss,
                                             // the second or later loss in a row
    std::optional<Tilt> tilt;
    std::optional<Standout> standoutHour, standoutWeekday;

    // Per mode only.
    std::optional<float> lastRating;
    std::optional<Road> next;  // none without a known rating or a division above it
    std::optional<Road> goal;
    std::optional<RatingAt> peak;
    std::optional<RatingAt> lowestYear;  // the lowest in the 365 days up to the mode's last match
    std::optional<SessionChange> bestSession, worstSession;
};

// The places in a session that bySessionMatch counts: from and to (0: no end).
inline constexpr std::array<std::array<int, 2>, 4> kSessionPlaces{{{1, 3}, {4, 6}, {7, 10}, {11, 0}}};

// "Mon" to "Sun" for byWeekday's 0 to 6.
inline std::string_view WeekdayOfIndex(std::size_t mondayFirst) {
    return WeekdayName(std::chrono::weekday(static_cast<unsigned>(mondayFirst + 1)));
}

struct Insights {
    std::array<std::optional<ModeInsights>, kModeCount> modes;  // each mode with a match
    ModeInsights overall;
};

struct InsightOptions {
    std::array<std::optional<double>, kModeCount> goals;  // --goal MODE:RATING
};

Insights ComputeInsights(const History& history, const InsightOptions& options = {});

// The road from `rating` to `target`, drawing with replacement from `changes` (the last
// known rating changes, oldest first; at most kRoadBasis are used) kRoadRuns times from a
// fixed seed: the same input gives the same figures on every platform.
Road SimulateRoad(double rating, double target, const std::vector<float>& changes);

}  // namespace vantrel::report
