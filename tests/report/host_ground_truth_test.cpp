// Ground truth: sessions played through vantrel-host with the real plug-in, ratings chosen
// here; the history read back from the plug-in's log must be what the script did.
#include <sstream>

#include <fmt/format.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "rebuild.h"
#include "run_host.h"

namespace {

using namespace vantrel::report;
using ::testing::ElementsAre;

TEST(ReportGroundTruth, SessionsPlayedThroughTheHostReadBackAsPlayed) {
    const std::string script = R"(
mmr 10 1500
mmr 11 1000
mmr 13 800
load
# Session 1: a win, two polls pending at once, a poll that gives up, and two pending of
# which the older gives up while the younger finds its rating.
match start 11
match end win
mmr 11 1010 after 2
wait 10
match start 13
match end loss
wait 1
match start 11
match end win
mmr 11 1022 after 1
mmr 13 790 after 3
wait 10
match start 10
match end loss
wait 10
match start 13
match end win
wait 2
match start 11
match end loss
mmr 11 1015 after 4
wait 10
unload
# Session 2: a first "Other" rating, polled from 0.00 like the start-up poll.
load
match start 6
match end win
mmr 6 400 after 2
wait 10
match start 11
match end win
mmr 11 1030 after 1
wait 10
unload
# Session 3: the 1vs1 rating is unknown at load, so the start-up poll writes nothing
# before the first match; it finds the rating seven seconds in.
mmr 10 0
load
wait 1
match start 11
match end loss
mmr 11 1020 after 1
wait 5
mmr 10 1495
wait 2
match start 13
match end win
mmr 13 805 after 3
wait 10
unload
# Session 4: start-up fails.
fault GetPlayerMMR throw "rating service down"
load
unload
fault clear
# Session 5: unloaded while the match's poll still waits.
load
match start 11
match end win
wait 1
unload
# Session 6.
load
match start 11
match end win
mmr 11 1040 after 1
wait 10
)";
    vtest::HostRunOptions options;
    options.load = false;
    // Stamps that follow the virtual clock, as a real log's follow the real one: a poll
    // line's stamp and count tell when its poll began.
    options.arguments = {"--clock", "2024-03-05T20:00"};
    const vtest::HostRun run = vtest::RunHost(script, options);
    ASSERT_EQ(run.exitCode, 0) << run.err;

    std::istringstream log(run.Log());
    const History history = ReadHistory(log);
    std::vector<std::string> matches;
    for (const Match& m : history.matches) {
        matches.push_back(fmt::format("{} {} {} {:.2f}>{}", m.session + 1, kModeLabels[m.mode], m.won ? "W" : "L",
                                      m.before, m.after ? fmt::format("{:.2f}", *m.after) : "?"));
    }
    EXPECT_THAT(matches, ElementsAre("1 2vs2 W 1000.00>1010.00", "1 3vs3 L 800.00>790.00", "1 2vs2 W 1010.00>1022.00",
                                     "1 1vs1 L 1500.00>?", "1 3vs3 W 790.00>?", "1 2vs2 L 1022.00>1015.00",
                                     "2 Other W 0.00>400.00", "2 2vs2 W 1015.00>1030.00",
                                     "3 2vs2 L 1030.00>1020.00", "3 3vs3 W 790.00>805.00",
                                     "5 2vs2 W 1020.00>?",
                                     "6 2vs2 W 1020.00>1040.00"))
        << run.Log();
    ASSERT_EQ(history.sessions.size(), 6u) << run.Log();
    EXPECT_TRUE(history.sessions[3].loadFailed);
    EXPECT_EQ(history.sessions[3].matchCount, 0u);
    EXPECT_TRUE(history.sessions[2].loadSeen);  // begun by the counts, its start-up line seen later
    EXPECT_EQ(history.stats.unreadable + history.stats.unpairedPollLines, 0u);
    EXPECT_EQ(history.stats.logLines, history.stats.lines);
}

}  // namespace
