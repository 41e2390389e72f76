// The HTML page and its chart geometry: downsampling keeps the extremes within the point
// budget, the rank bands follow the plug-in's tables, text is escaped, and a very long
// history still gives a small page.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <sstream>

#include "calendar.h"
#include "outputs/chart.h"
#include "outputs/html_report.h"

namespace vantrel::report {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++count;
    return count;
}

std::string Page(const History& history, const HtmlOptions& options = {}) {
    std::ostringstream out;
    WriteHtml(out, history, options);
    return out.str();
}

// `count` matches in one mode, a session every `perSession`, ratings from `rating(i)`.
template <typename Rating>
History MakeHistory(std::size_t count, std::uint8_t mode, std::size_t perSession, Rating rating) {
    History history;
    LocalSeconds time = 1796670000;
    for (std::size_t i = 0; i < count; ++i) {
        if (i % perSession == 0) {
            Session session;
            session.start = time;
            session.firstMatch = static_cast<std::uint32_t>(i);
            session.loadSeen = true;
            history.sessions.push_back(session);
        }
        Match match;
        match.time = time;
        match.session = static_cast<std::uint32_t>(history.sessions.size() - 1);
        match.mode = mode;
        match.before = i == 0 ? 1000.0f : *history.matches.back().after;
        match.after = rating(i);
        match.won = *match.after >= match.before;
        history.matches.push_back(match);
        history.sessions.back().matchCount++;
        history.sessions.back().end = time;
        time += 400;
    }
    return history;
}

TEST(Downsample, KeepsShortSeriesWholeAndTheEndsPeaksAndTroughsOfLongOnes) {
    std::mt19937 random(11);
    for (const std::size_t n : {0u, 1u, 7u, 2000u, 2001u, 2002u, 5003u, 100000u}) {
        std::vector<float> values(n);
        for (float& v : values) v = static_cast<float>(random() % 100000) / 10.0f;
        const std::vector<std::size_t> kept = Downsample(values, 2000);
        if (n <= 2000) {
            EXPECT_EQ(kept.size(), n);
            continue;
        }
        EXPECT_LE(kept.size(), 2000u) << n;
        EXPECT_GE(kept.size(), 1000u) << n;  // the budget is used, not wasted
        EXPECT_TRUE(std::is_sorted(kept.begin(), kept.end()));
        EXPECT_EQ(std::adjacent_find(kept.begin(), kept.end()), kept.end()) << "an index twice";
        EXPECT_EQ(kept.front(), 0u);
        EXPECT_EQ(kept.back(), n - 1);
        const auto [low, high] = std::minmax_element(values.begin(), values.end());
        const auto keeps = [&](float v) {
            return std::any_of(kept.begin(), kept.end(), [&](std::size_t i) { return values[i] == v; });
        };
        EXPECT_TRUE(keeps(*low)) << n;
        EXPECT_TRUE(keeps(*high)) << n;
    }
    // A budget too small for buckets still gives the ends and the extremes.
    const std::vector<float> spike{5, 1, 9, 5, 5};
    const std::vector<std::size_t> tiny = Downsample(spike, 1);
    EXPECT_LE(tiny.size(), 4u);
    EXPECT_EQ(tiny.front(), 0u);
    EXPECT_EQ(tiny.back(), 4u);
}

TEST(AxisTicks, AreRoundAndInsideTheRange) {
    EXPECT_EQ(AxisTicks(1032.5, 1081.0, 5), (std::vector<double>{1040, 1050, 1060, 1070, 1080}));
    EXPECT_EQ(AxisTicks(1, 7, 8), (std::vector<double>{1, 2, 3, 4, 5, 6, 7}));
    EXPECT_TRUE(AxisTicks(5, 5, 5).empty());
    EXPECT_EQ(AxisTicks(0, 100, 1), (std::vector<double>{0, 100}));
}

// Where the sessions change, a dashed line and the day above it; a small change up is
// coloured as up.
TEST(HtmlPage, SessionsAreMarkedAndDatedAndSmallChangesKeepTheirSign) {
    const History history = MakeHistory(6, 1, 3, [](std::size_t i) { return 1000.0f + 0.5f * static_cast<float>(i); });
    const std::string page = Page(history);
    const std::size_t path = page.find("<path class=\"sess\" d=\"");
    ASSERT_NE(path, std::string::npos);
    EXPECT_EQ(Count(page.substr(path, page.find('"', path + 25) - path), "M"), 1u);  // one boundary
    EXPECT_EQ(Count(page, ">" + FormatShortDay(history.matches[0].time) + "</text>"), 1u);  // one day
    EXPECT_THAT(page, HasSubstr("<td class=\"up\">+0.50</td>"));
}

// SVG's y grows downwards: a rating that rises is drawn rising, from left to right.
TEST(HtmlPage, AHigherRatingIsDrawnHigher) {
    const std::string page = Page(MakeHistory(3, 1, 10, [](std::size_t i) { return 1000.0f + 40.0f * i; }));
    const std::string marker = "<polyline class=\"line\" points=\"";
    const std::size_t at = page.find(marker);
    ASSERT_NE(at, std::string::npos);
    std::istringstream points(page.substr(at + marker.size(), page.find('"', at + marker.size()) - at - marker.size()));
    std::vector<std::pair<double, double>> xy;
    double x = 0, y = 0;
    char comma = 0;
    while (points >> x >> comma >> y) xy.emplace_back(x, y);
    ASSERT_EQ(xy.size(), 3u);
    for (std::size_t i = 1; i < xy.size(); ++i) {
        EXPECT_GT(xy[i].first, xy[i - 1].first);
        EXPECT_LT(xy[i].second, xy[i - 1].second);
    }
}

TEST(HtmlPage, EscapesTheSourceAndTitleAndLoadsNothingFromOutside) {
    const History history = MakeHistory(30, 1, 10, [](std::size_t i) { return 1000.0f + static_cast<float>(i % 7); });
    HtmlOptions options;
    options.sourceName = "/home/<b>x</b>/a&b \"log\".txt";
    options.title = "<script>alert(1)</script>";
    const std::string page = Page(history, options);
    EXPECT_THAT(page, HasSubstr("/home/&lt;b&gt;x&lt;/b&gt;/a&amp;b &quot;log&quot;.txt"));
    EXPECT_THAT(page, Not(HasSubstr("<script")));
    EXPECT_THAT(page, Not(HasSubstr("<b>")));
    for (const char* outside : {"http:", "https:", "src=", "href=", "url(", "@import", "//"}) {
        EXPECT_THAT(page, Not(HasSubstr(outside))) << outside;
    }
    EXPECT_EQ(Count(page, "<svg class=\"chart\""), 1u);
    EXPECT_EQ(Count(page, "<tr class=\"session\""), 3u);
    EXPECT_EQ(Count(page, "<g class=\"band\">"), 1u);  // 2vs2 has rank divisions
}

TEST(HtmlPage, UnknownNonFiniteAndFirstRatingsAreNotShownAsChanges) {
    History history = MakeHistory(4, 3, 4, [](std::size_t i) { return 500.0f + static_cast<float>(i); });
    history.matches[1].after.reset();
    history.matches[2].after = std::numeric_limits<float>::quiet_NaN();
    history.matches[0].before = 0.0f;  // the plug-in had no rating yet: a first rating, not a change
    const std::string page = Page(history);
    EXPECT_THAT(page, HasSubstr("500.00, the first rating known"));
    EXPECT_THAT(page, Not(HasSubstr("+500.00")));
    EXPECT_THAT(page, HasSubstr("data-points=\"2\""));
    EXPECT_THAT(page, Not(HasSubstr("<g class=\"band\">")));  // "Other" has no rank table
    EXPECT_THAT(page, HasSubstr("<td class=\"unk\">unknown</td>"));
    const std::string chart = page.substr(page.find("<svg"), page.find("</svg>") - page.find("<svg"));
    EXPECT_THAT(chart, Not(HasSubstr("nan")));

    // A session without a known change in a mode shows the unknown marker, not "+0.00".
    History unknownChange = MakeHistory(2, 1, 1, [](std::size_t i) { return 900.0f + static_cast<float>(i); });
    unknownChange.matches[0].after.reset();
    const std::string sessions = Page(unknownChange);
    EXPECT_THAT(sessions, Not(HasSubstr("+0.00")));
    EXPECT_THAT(sessions, HasSubstr("0&ndash;1 <span class=\"unk\">&ndash;</span>"));

    const std::string empty = Page(History{});
    EXPECT_THAT(empty, HasSubstr("No match in this log."));
    EXPECT_THAT(empty, HasSubstr("</html>"));
}

// Per mode under its chart: the form curve with a point per match from the 20th, bars for 24
// hours, 7 weekdays and after a win or a loss, each with a hover title; the road to the
// next division; the sentences.
TEST(HtmlPage, EachModeHasItsInsightsWithTheirDataPoints) {
    // Won, lost, won, ... a third lost; a match every 400 s from 19:00, so no hour holds 10.
    History history = MakeHistory(60, 1, 10, [](std::size_t i) {
        return 1000.0f + 5.0f * static_cast<float>(i) - (i % 3 == 2 ? 12.0f : 0.0f);
    });
    const std::string page = Page(history);
    EXPECT_EQ(Count(page, "<div class=\"ins\">"), 1u);  // one mode: no "All modes" part
    EXPECT_THAT(page, HasSubstr("data-chart=\"form\" data-points=\"41\" data-matches=\"41\""));
    EXPECT_THAT(page, HasSubstr("data-chart=\"hours\" data-points=\"24\""));
    EXPECT_THAT(page, HasSubstr("data-chart=\"weekdays\" data-points=\"7\""));
    EXPECT_THAT(page, HasSubstr("data-chart=\"after\" data-points=\"3\""));
    EXPECT_THAT(page, HasSubstr("data-chart=\"road\""));
    EXPECT_EQ(Count(page, "<g class=\"pt"), 24u + 7u + 3u);
    // Faint: every hour, the 5 weekdays without a match, after two losses (never happens).
    EXPECT_EQ(Count(page, "<g class=\"pt few\">"), 24u + 5u + 1u);
    EXPECT_THAT(page, HasSubstr("<li>2vs2: you win "));

    history.matches[5].mode = 3;  // a second mode: every mode together too
    EXPECT_EQ(Count(Page(history), "<div class=\"ins\">"), 3u);
}

// A million matches: every chart within its point budget with the extremes on it, the
// tables cut to their newest rows with a note, and the page under 2 MB.
TEST(HtmlPage, AMillionMatchesGiveASmallPageThatStillShowsThePeakAndTrough) {
    constexpr std::size_t kMatches = 1000000;
    History history = MakeHistory(kMatches, 1, 40, [](std::size_t i) {
        return 1000.0f + 40.0f * std::sin(static_cast<float>(i) / 900.0f) + static_cast<float>(i % 13);
    });
    for (std::size_t i = 0; i < kMatches; ++i) history.matches[i].mode = static_cast<std::uint8_t>(i % 4);
    history.matches[123457].after = 1777.25f;  // a 2vs2 peak
    history.matches[765433].after = 222.75f;   // and trough
    const std::string page = Page(history);
    EXPECT_LT(page.size(), 2u * 1024 * 1024);
    EXPECT_EQ(Count(page, "<svg class=\"chart\""), 4u);
    EXPECT_EQ(Count(page, "<circle"), 4u * 2000u);
    EXPECT_THAT(page, HasSubstr("→ 1777.25"));
    EXPECT_THAT(page, HasSubstr("→ 222.75"));
    EXPECT_EQ(Count(page, "<tr class=\"session\""), 500u);
    EXPECT_THAT(page, HasSubstr("The newest 500 of 25000 sessions"));
    EXPECT_THAT(page, HasSubstr("The newest 1000 of 1000000 matches"));
}

}  // namespace
}  // namespace vantrel::report
