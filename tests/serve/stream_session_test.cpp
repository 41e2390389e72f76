// The stream as a session, against an evening played through vantrel-host with the real
// plug-in on a set clock: every match's time, mode and result are known from the script,
// so each selection's truth is the list of played matches it must hold.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "rebuild.h"
#include "run_host.h"
#include "serve/glance.h"
#include "serve/stream_session.h"

namespace {

using namespace vantrel::report;
using namespace vantrel::report::serve;

struct Played {
    const char* clock;  // "next HH:MM": the match ends a minute later
    const char* stamp;  // its "Match ended" line's time
    int playlist;       // 11: 2vs2, 13: 3vs3
    bool won;
    bool reloadBefore;  // the game restarted before it
};

// A: 21:01, 21:21; B: 22:31 (70 minutes on); C: 23:41 (70 on), the game restarted, then
// 00:01 and 00:21 past midnight.
constexpr Played kEvening[] = {
    {"next 21:00", "2026-12-07 21:01:00", 11, true, false},  {"next 21:20", "2026-12-07 21:21:00", 11, false, false},
    {"next 22:30", "2026-12-07 22:31:00", 13, true, false},  {"next 23:40", "2026-12-07 23:41:00", 13, true, false},
    {"next 00:00", "2026-12-08 00:01:00", 11, false, true}, {"next 00:20", "2026-12-08 00:21:00", 11, true, false},
};

History PlayEvening() {
    std::string script = "unload\nmmr 10 700 rank 10 0\nmmr 11 1000 rank 15 0\nmmr 13 850 rank 13 1\nload\nwait 5\n";
    float ratings[2] = {1000, 850};
    for (const Played& match : kEvening) {
        if (match.reloadBefore) script += "clock next 23:50\nunload\nload\nwait 5\n";
        float& rating = ratings[match.playlist == 11 ? 0 : 1];
        rating += match.won ? 10 : -10;
        script += fmt::format("clock {}\nmatch start {}\nwait 60\nmatch end {}\nmmr {} {:.2f} after 3\nwait 10\n",
                              match.clock, match.playlist, match.won ? "win" : "loss", match.playlist, rating);
    }
    vtest::HostRunOptions options;
    options.arguments = {"--clock", "2026-12-07T20:50"};
    const vtest::HostRun run = vtest::RunHost(script, options);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    std::istringstream log(run.Log());
    return ReadHistory(log);
}

TEST(StreamSession, EachSelectionHoldsThePlayedMatchesItsRuleNames) {
    const History history = PlayEvening();
    ASSERT_EQ(history.matches.size(), std::size(kEvening));
    for (std::size_t i = 0; i < history.matches.size(); ++i) {
        ASSERT_EQ(FormatLocalTime(history.matches[i].time), kEvening[i].stamp) << i;
    }
    const auto at = [](const char* stamp) {
        LocalSeconds seconds = 0;
        EXPECT_TRUE(ParseTimestamp(stamp, seconds)) << stamp;
        return seconds;
    };
    struct Case {
        const char* session;
        const char* now;
        std::size_t first;  // the selection is kEvening[first, 6)
    };
    const Case cases[] = {
        {"load", "2026-12-08 00:30:00", 4},   // since the restart at 23:50
        {"gap:30", "2026-12-08 00:30:00", 3},  // 23:41 to 00:21, across midnight and the restart
        {"gap:30", "2026-12-08 00:52:00", 6},  // 31 minutes after the last: over, none yet
        {"gap:70", "2026-12-08 00:30:00", 0},  // no pause longer than 70 minutes
        {"gap:69", "2026-12-08 00:30:00", 3},
        {"since:23:00", "2026-12-08 00:30:00", 3},  // yesterday's 23:00: today's is still ahead
        {"since:00:00", "2026-12-08 00:30:00", 4},
        {"since:21:21", "2026-12-07 23:59:00", 1},  // today's, at the minute of a match
        {"since:01:00", "2026-12-08 00:30:00", 0},
        {"since:00:30", "2026-12-08 00:30:00", 6},  // today's, now: nothing since
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(fmt::format("{} at {}", c.session, c.now));
        const auto session = ParseStreamSession(c.session);
        ASSERT_TRUE(session);
        const StreamSpan span = SelectStream(history, *session, at(c.now));
        EXPECT_EQ(span.first, c.first);
        // The glance counts just those matches, by mode, with the streak inside them.
        const SessionGlance glance = GlanceAt(history, span, KnownRatings::Of(history));
        int wins[2] = {0, 0}, losses[2] = {0, 0};
        for (std::size_t i = c.first; i < std::size(kEvening); ++i) {
            const int side = kEvening[i].playlist == 11 ? 0 : 1;
            ++(kEvening[i].won ? wins[side] : losses[side]);
        }
        EXPECT_EQ(glance.matchCount, std::size(kEvening) - c.first);
        EXPECT_EQ(glance.modes[1].wins, wins[0]);
        EXPECT_EQ(glance.modes[1].losses, losses[0]);
        EXPECT_EQ(glance.modes[2].wins, wins[1]);
        EXPECT_EQ(glance.modes[2].losses, losses[1]);
        // Every mode keeps its last known rating, played in the session or not.
        EXPECT_EQ(glance.Current(1), 1000.0);
        EXPECT_EQ(glance.Current(2), 870.0);
        EXPECT_EQ(glance.Current(0), std::nullopt);  // no 1vs1 match: the start-up poll's rating is no match's
    }
}

TEST(StreamSession, OnlyTheThreeFormsAreRead) {
    for (const char* good : {"load", "gap:1", "gap:1440", "since:00:00", "since:23:59"}) {
        const auto session = ParseStreamSession(good);
        ASSERT_TRUE(session) << good;
        EXPECT_EQ(session->Text(), good);
    }
    for (const char* bad : {"", "Load", "gap:", "gap:0", "gap:1441", "gap:-5", "gap:30m", "since:24:00", "since:7:00",
                            "since:07:60", "since:0700", "since:07:00:00", "gap:+30"}) {
        EXPECT_FALSE(ParseStreamSession(bad)) << bad;
    }
}

}  // namespace
