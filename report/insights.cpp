// The insights in one pass over the matches (a second over the last year's for its lowest
// rating), then the tests and the simulations.
#include "insights.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "divisions.h"

namespace vantrel::report {

std::optional<double> Rate::Share() const {
    if (matches == 0) return std::nullopt;
    return static_cast<double>(wins) / matches;
}

std::optional<Interval> Rate::Bounds() const { return WilsonInterval(wins, matches); }

namespace {

constexpr std::uint64_t kRoadSeed = 0x5eed'2026'1207ULL;
constexpr LocalSeconds kYear = 365LL * 86400;

int SessionPlace(int place) {
    if (place <= 3) return 0;
    if (place <= 6) return 1;
    if (place <= 10) return 2;
    return 3;
}

// What one scope (a mode, or every mode) keeps while the matches go by.
struct Tracker {
    ModeInsights* out = nullptr;
    std::array<bool, kFormMatches> window{};  // the last results, a ring
    int seen = 0;
    int windowWins = 0;
    std::uint32_t session = UINT32_MAX;  // of the scope's previous match
    int place = 0;                       // of the previous match in its session
    bool previousWon = false;
    int lossRun = 0;                     // losses in a row up to the previous match, in its session

    void See(const Match& match, int hour, int weekday) {
        ModeInsights& m = *out;
        m.winRate.Add(match.won);
        m.byHour[static_cast<std::size_t>(hour)].Add(match.won);
        m.byWeekday[static_cast<std::size_t>(weekday)].Add(match.won);

        const std::size_t slot = static_cast<std::size_t>(seen % kFormMatches);
        if (seen >= kFormMatches && window[slot]) --windowWins;
        window[slot] = match.won;
        windowWins += match.won ? 1 : 0;
        ++seen;
        if (seen >= kFormMatches) m.formCurve.push_back(static_cast<std::uint8_t>(windowWins));

        if (match.session == session) {
            (previousWon ? m.afterWin : m.afterLoss).Add(match.won);
            if (lossRun >= 2) m.afterLosses2.Add(match.won);
            ++place;
        } else {
            session = match.session;
            place = 1;
            lossRun = 0;
        }
        m.bySessionMatch[static_cast<std::size_t>(SessionPlace(place))].Add(match.won);
        previousWon = match.won;
        lossRun = match.won ? 0 : lossRun + 1;
    }

    void Finish() {
        ModeInsights& m = *out;
        for (int k = 0; k < std::min(seen, kFormMatches); ++k) m.form.Add(window[static_cast<std::size_t>(k)]);
    }
};

// The rating the plug-in knew after a match: what its poll found, or what it started from.
std::optional<float> KnownRating(const Match& match) {
    if (match.after && std::isfinite(*match.after)) return match.after;
    if (match.before != 0.0f && std::isfinite(match.before)) return match.before;
    return std::nullopt;
}

// Each bucket with enough matches against the rest; the smallest p when it survives
// Bonferroni's correction.
template <std::size_t N>
std::optional<Standout> FindStandout(const std::array<Rate, N>& buckets, const Rate& all) {
    std::optional<Standout> best;
    int tested = 0;
    for (std::size_t b = 0; b < N; ++b) {
        const Rate& in = buckets[b];
        if (in.matches < kStandoutMatches) continue;
        const std::optional<double> p = TwoProportionP(in.wins, in.matches, all.wins - in.wins, all.matches - in.matches);
        if (!p) continue;
        ++tested;
        if (!best || *p < best->p) {
            const double rest = static_cast<double>(all.wins - in.wins) / (all.matches - in.matches);
            best = Standout{static_cast<int>(b), *p, *in.Share() > rest};
        }
    }
    if (best && best->p < kChanceLevel / tested) return best;
    return std::nullopt;
}

void Conclude(ModeInsights& m) {
    if (m.afterWin.matches > 0 && m.afterLoss.matches > 0) {
        Tilt tilt;
        tilt.difference = *m.afterWin.Share() - *m.afterLoss.Share();
        tilt.p = *TwoProportionP(m.afterWin.wins, m.afterWin.matches, m.afterLoss.wins, m.afterLoss.matches);
        tilt.beyondChance = tilt.p < kChanceLevel;
        m.tilt = tilt;
    }
    m.standoutHour = FindStandout(m.byHour, m.winRate);
    m.standoutWeekday = FindStandout(m.byWeekday, m.winRate);
}

// A rating in whole hundredths: the log writes two decimals, so sums of these are exact.
long long Cents(double value) { return std::llround(value * 100.0); }

}  // namespace

Road SimulateRoad(double rating, double target, const std::vector<float>& changes) {
    Road road;
    road.target = target;
    road.toGo = target - rating;
    const std::size_t used = std::min<std::size_t>(changes.size(), kRoadBasis);
    road.basis = static_cast<int>(used);
    if (road.basis < kRoadMinBasis) return road;
    road.simulated = true;
    road.runs = kRoadRuns;

    std::vector<long long> steps;
    for (std::size_t i = changes.size() - used; i < changes.size(); ++i) steps.push_back(Cents(changes[i]));
    const long long toGo = Cents(target) - Cents(rating);
    const long long biggest = *std::max_element(steps.begin(), steps.end());
    std::vector<int> needed;
    if (toGo <= 0) {
        needed.assign(kRoadRuns, 0);
    } else {
        needed.reserve(kRoadRuns);
        UniformIndices draws(kRoadSeed);
        const auto count = static_cast<std::uint32_t>(steps.size());
        for (int run = 0; run < kRoadRuns; ++run) {
            long long remaining = toGo;
            for (int match = 1; match <= kRoadMaxMatches; ++match) {
                // A run that cannot arrive even gaining the most every time is over: it
                // would end unarrived all the same, and a losing form costs nothing.
                if (biggest * (kRoadMaxMatches - match + 1) < remaining) break;
                remaining -= steps[draws.Next(count)];
                if (remaining <= 0) {
                    needed.push_back(match);
                    break;
                }
            }
        }
    }
    road.arrived = static_cast<int>(needed.size());
    if (!needed.empty()) {
        std::sort(needed.begin(), needed.end());
        road.median = NearestRankPercentile(needed, 50);
        road.low = NearestRankPercentile(needed, 10);
        road.high = NearestRankPercentile(needed, 90);
    }
    return road;
}

Insights ComputeInsights(const History& history, const InsightOptions& options) {
    Insights insights;
    std::array<Tracker, kModeCount> modes;
    Tracker overall;
    overall.out = &insights.overall;
    insights.overall.formCurve.reserve(history.matches.size());
    // Per mode: the last known changes (a ring of kRoadBasis) and the session sums.
    std::array<std::vector<float>, kModeCount> changes;
    std::array<std::size_t, kModeCount> changesSeen{};
    std::array<std::optional<SessionChange>, kModeCount> sessionSum;
    std::array<LocalSeconds, kModeCount> lastTime{};

    const auto closeSession = [&](std::size_t mode) {
        ModeInsights& m = *insights.modes[mode];
        if (const std::optional<SessionChange>& sum = sessionSum[mode]) {
            if (!m.bestSession || sum->change > m.bestSession->change) m.bestSession = sum;
            if (!m.worstSession || sum->change < m.worstSession->change) m.worstSession = sum;
        }
        sessionSum[mode].reset();
    };

    std::uint32_t lastSession = UINT32_MAX;
    for (const Match& match : history.matches) {
        const std::size_t mode = match.mode % kModeCount;
        if (!insights.modes[mode]) {
            insights.modes[mode].emplace();
            modes[mode].out = &*insights.modes[mode];
            changes[mode].resize(kRoadBasis);
        }
        if (match.session != lastSession) {
            for (std::size_t k = 0; k < kModeCount; ++k) {
                if (insights.modes[k]) closeSession(k);
            }
            lastSession = match.session;
        }
        const std::chrono::sys_days day = DayOf(match.time);
        const int hour = static_cast<int>((match.time - StartOfDay(day)) / 3600);
        const int weekday = static_cast<int>(std::chrono::weekday(day).iso_encoding()) - 1;
        modes[mode].See(match, hour, weekday);
        overall.See(match, hour, weekday);

        ModeInsights& m = *insights.modes[mode];
        lastTime[mode] = match.time;
        if (const std::optional<float> rating = KnownRating(match)) {
            m.lastRating = rating;
            if (!m.peak || *rating > m.peak->rating) m.peak = RatingAt{*rating, match.time};
        }
        if (const std::optional<float> change = match.change(); change && std::isfinite(*change)) {
            changes[mode][changesSeen[mode]++ % kRoadBasis] = *change;
            if (!sessionSum[mode]) sessionSum[mode] = SessionChange{match.session + 1, 0.0};
            sessionSum[mode]->change += *change;
        }
    }

    for (std::size_t mode = 0; mode < kModeCount; ++mode) {
        if (!insights.modes[mode]) continue;
        ModeInsights& m = *insights.modes[mode];
        closeSession(mode);
        modes[mode].Finish();
        Conclude(m);
        // The known changes, oldest first.
        std::vector<float> recent;
        const std::size_t have = std::min<std::size_t>(changesSeen[mode], kRoadBasis);
        for (std::size_t k = changesSeen[mode] - have; k < changesSeen[mode]; ++k) recent.push_back(changes[mode][k % kRoadBasis]);
        if (m.lastRating) {
            const DivisionStanding standing = StandingOf(mode, *m.lastRating);
            if (standing.next) {
                m.next = SimulateRoad(*m.lastRating, standing.next->start, recent);
                m.next->division = standing.next->Label();
            }
            if (options.goals[mode]) m.goal = SimulateRoad(*m.lastRating, *options.goals[mode], recent);
        }
    }
    overall.Finish();
    Conclude(insights.overall);

    // The lowest rating of each mode's last year.
    for (const Match& match : history.matches) {
        const std::size_t mode = match.mode % kModeCount;
        if (match.time < lastTime[mode] - kYear) continue;
        ModeInsights& m = *insights.modes[mode];
        if (const std::optional<float> rating = KnownRating(match)) {
            if (!m.lowestYear || *rating < m.lowestYear->rating) m.lowestYear = RatingAt{*rating, match.time};
        }
    }
    return insights;
}

}  // namespace vantrel::report
