// The sentences: the figures as a person says them, with no more certainty than they hold.
#include "insights_text.h"

#include <cmath>

#include <fmt/format.h>

#include "calendar.h"

namespace vantrel::report {
namespace {

constexpr std::array<const char*, 7> kWeekdayPlurals{"Mondays", "Tuesdays", "Wednesdays", "Thursdays",
                                                     "Fridays", "Saturdays", "Sundays"};

int Percent(double share) { return static_cast<int>(std::lround(100.0 * share)); }

// "58% (52-64%)": the share and its 95% interval.
std::string ShareText(const Rate& rate) {
    const Interval bounds = *rate.Bounds();
    return fmt::format("{}% ({}-{}%)", Percent(*rate.Share()), Percent(bounds.low), Percent(bounds.high));
}

std::string PText(double p) {
    if (p < 0.0001) return "p < 0.0001";
    return fmt::format("p = {:.2g}", p);
}

std::string Rating(double value) { return fmt::format("{:.2f}", value); }

std::string HourText(int hour) { return fmt::format("{:02d}:00-{:02d}:00", hour, (hour + 1) % 24); }

// Hours or weekdays: the standout, or why there is none.
template <std::size_t N>
std::string StandoutText(const std::array<Rate, N>& buckets, const Rate& all, const std::optional<Standout>& standout,
                         std::string_view what, std::string_view others) {
    if (standout) {
        const Rate& in = buckets[static_cast<std::size_t>(standout->bucket)];
        Rate rest;
        rest.matches = all.matches - in.matches;
        rest.wins = all.wins - in.wins;
        const std::string when = N == 24 ? "at " + HourText(standout->bucket)
                                         : std::string("on ") + kWeekdayPlurals[static_cast<std::size_t>(standout->bucket)];
        return fmt::format("you win {} {}: {}, against {} {} ({})", standout->more ? "more" : "less", when, RateText(in),
                           RateText(rest), others, PText(standout->p));
    }
    for (const Rate& bucket : buckets) {
        if (bucket.matches >= kStandoutMatches && bucket.matches < all.matches) {
            return fmt::format("no {} stands out beyond chance", what);
        }
    }
    return fmt::format("too few matches in any one {} to compare them (each needs {})", what, kStandoutMatches);
}

std::string RoadText(const Road& road, std::string_view name) {
    std::string text = fmt::format("{} is {} away", name, Rating(road.toGo));
    if (!road.simulated) {
        return text + fmt::format(": {} known rating change{} (at least {} are needed to estimate the matches)", road.basis,
                                  road.basis == 1 ? "" : "s", kRoadMinBasis);
    }
    if (road.Reached() < 0.5) return text + fmt::format(": not within {} matches at this form", Thousands(kRoadMaxMatches));
    if (road.low == road.high) {
        text += fmt::format(": {} match{} at your recent form", road.median, road.median == 1 ? "" : "es");
    } else {
        text += fmt::format(": about {} match{} ({}-{}) at your recent form", road.median, road.median == 1 ? "" : "es",
                            road.low, road.high);
    }
    text += fmt::format(" (the last {} known changes", road.basis);
    if (road.arrived < road.runs) {
        text += fmt::format("; {} of {} simulated runs arrive within {} matches", Thousands(road.arrived),
                            Thousands(road.runs), Thousands(kRoadMaxMatches));
    }
    return text + ")";
}

}  // namespace

std::string RateText(const Rate& rate, std::string_view noun) {
    if (rate.matches == 0) return "no match";
    return fmt::format("{} of {}{}{}", ShareText(rate), Thousands(rate.matches), noun.empty() ? "" : " ",
                       rate.matches == 1 && noun == "matches" ? "match" : noun);
}

std::string Thousands(long long value) {
    const unsigned long long magnitude =
        value < 0 ? 0ULL - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
    const std::string digits = std::to_string(magnitude);
    std::string text = value < 0 ? "-" : "";
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) text += ',';
        text += digits[i];
    }
    return text;
}

std::vector<std::string> InsightSentences(const ModeInsights& m, std::string_view label, bool perMode) {
    std::vector<std::string> said;
    const Rate& all = m.winRate;
    if (all.matches < kFewMatches) {
        said.push_back(fmt::format("{}: {} {}, {} won: too few for a win rate", label, all.matches,
                                   all.matches == 1 ? "match" : "matches", all.wins));
    } else {
        std::string text = fmt::format("{}: you win {}", label, RateText(all));
        if (all.matches > kFormMatches) text += fmt::format("; last {}: {}", kFormMatches, ShareText(m.form));
        said.push_back(std::move(text));

        if (m.afterWin.matches >= kFewMatches && m.afterLoss.matches >= kFewMatches && m.tilt) {
            said.push_back(fmt::format("after a loss you win {}, after a win {}: {} ({})", RateText(m.afterLoss),
                                       RateText(m.afterWin),
                                       m.tilt->beyondChance ? "a difference beyond chance" : "a difference within chance",
                                       PText(m.tilt->p)));
        } else {
            said.push_back(fmt::format("too few matches after a win and after a loss in the same session to compare ({} and {})",
                                       m.afterWin.matches, m.afterLoss.matches));
        }
        if (m.afterLosses2.matches >= kFewMatches) {
            said.push_back(fmt::format("after two or more losses in a row you win {}", RateText(m.afterLosses2)));
        }
        said.push_back(StandoutText(m.byHour, all, m.standoutHour, "hour", "at other hours"));
        said.push_back(StandoutText(m.byWeekday, all, m.standoutWeekday, "weekday", "on other days"));
        std::string places;
        int shown = 0;
        for (std::size_t p = 0; p < kSessionPlaces.size(); ++p) {
            const Rate& rate = m.bySessionMatch[p];
            if (rate.matches < kFewMatches) continue;
            const auto [from, to] = kSessionPlaces[p];
            places += fmt::format("{}matches {}{}: {}", shown++ > 0 ? "; " : "", from,
                                  to > 0 ? fmt::format("-{}", to) : std::string(" on"), RateText(rate, ""));
        }
        if (shown > 1) said.push_back("by place in the session, " + places);
    }
    if (!perMode) return said;

    if (m.next) said.push_back(RoadText(*m.next, m.next->division));
    if (m.goal) {
        if (m.goal->toGo <= 0) {
            said.push_back(fmt::format("your goal {} is reached: the last rating is {}", Rating(m.goal->target),
                                       Rating(*m.lastRating)));
        } else {
            said.push_back(RoadText(*m.goal, "your goal " + Rating(m.goal->target)));
        }
    }
    if (m.peak) {
        std::string text = fmt::format("peak {} ({})", Rating(m.peak->rating), FormatDate(m.peak->time));
        if (m.lowestYear) {
            text += fmt::format("; lowest in the last year {} ({})", Rating(m.lowestYear->rating), FormatDate(m.lowestYear->time));
        }
        said.push_back(std::move(text));
    }
    if (m.bestSession && m.worstSession && m.bestSession->session != m.worstSession->session) {
        said.push_back(fmt::format("best session {} ({:+.2f}), worst session {} ({:+.2f})", m.bestSession->session,
                                   m.bestSession->change, m.worstSession->session, m.worstSession->change));
    }
    return said;
}

void WriteInsightsText(const Insights& insights, bool colour, const std::function<void(std::string_view)>& sink) {
    std::string text = colour ? "\n\x1b[1mInsights\x1b[0m\n" : "\nInsights\n";
    int modes = 0;
    const auto add = [&](const ModeInsights& m, std::string_view label, bool perMode) {
        const std::vector<std::string> sentences = InsightSentences(m, label, perMode);
        for (std::size_t i = 0; i < sentences.size(); ++i) {
            text += i == 0 ? "  " : "    ";
            text += sentences[i];
            text += '\n';
        }
    };
    for (std::size_t mode = 0; mode < kModeCount; ++mode) {
        if (!insights.modes[mode]) continue;
        ++modes;
        add(*insights.modes[mode], kModeLabels[mode], true);
    }
    if (modes > 1) add(insights.overall, "All modes", false);
    if (modes == 0) text += "  no match to say anything about\n";
    sink(text);
}

}  // namespace vantrel::report
