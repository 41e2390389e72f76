// The session tracker played through vantrel-host: what the plug-in writes to its log for
// matches, rating polls and injected host faults, and what it keeps. The rules for broken
// match data and readings that are no numbers are asserted on the fake host (tests/plugin).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "run_host.h"
#include "text.h"

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using vtest::HostRun;
using vtest::HostRunOptions;
using vtest::RunHost;

HostRunOptions NoLoad() {
    HostRunOptions options;
    options.load = false;  // the script sets the ratings first, then loads
    return options;
}

// Runs a script that must succeed with nothing on standard error (sanitizer reports go there).
HostRun Play(const std::string& script, const HostRunOptions& options = NoLoad()) {
    HostRun run = RunHost(script, options);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    return run;
}

TEST(TrackerSession, WinsLossesAndRatingChangesInEveryMode) {
    const HostRun run = Play(R"(
mmr 10 600
mmr 11 800
mmr 13 900
mmr 27 1500
load
# 1vs1: the server moves the rating 2 s after the win and 1 s after the loss
match start 10
match end win
mmr 10 610 after 2
wait 3
match start 10
match end loss
mmr 10 601.5 rank 9 2 after 1
wait 2
# 2vs2: found at the second check, then on the fourth
match start 11
match end win
mmr 11 812.25 after 0.5
wait 2
match start 11 team 1
match end loss
mmr 11 800 rank 12 2 after 3
wait 4
# 3vs3: found at once, then never
match start 13
mmr 13 915 rank 14 0
match end winner 0
match start 13
calls reset
match end loss
wait 6
calls
# another playlist: counted under Other, its first rating only recorded
match start 27
match end win
match start 27
match end loss
mmr 27 1490 after 1
wait 2
leave
frame
)");
    EXPECT_THAT(vtest::LogMessages(run.Log()),
                ElementsAre("CheckMMRUpdate: mmr: 600.00, initialMMR: 0.00, count: 0",
                            "OnMatchEnd: wonMatch: 1",
                            "Match ended: ModeIndex: 0, Wins: 1, Losses: 0, Starting MMR: 600.00, Delta MMR: +00.00",
                            "CheckMMRUpdate: mmr: 610.00, initialMMR: 600.00, count: 2",
                            "OnMatchEnd: wonMatch: 0",
                            "Match ended: ModeIndex: 0, Wins: 1, Losses: 1, Starting MMR: 610.00, Delta MMR: +10.00",
                            "CheckMMRUpdate: mmr: 601.50, initialMMR: 610.00, count: 2",
                            "OnMatchEnd: wonMatch: 1",
                            "Match ended: ModeIndex: 1, Wins: 1, Losses: 0, Starting MMR: 800.00, Delta MMR: +00.00",
                            "CheckMMRUpdate: mmr: 812.25, initialMMR: 800.00, count: 1",
                            "OnMatchEnd: wonMatch: 0",
                            "Match ended: ModeIndex: 1, Wins: 1, Losses: 1, Starting MMR: 812.25, Delta MMR: +12.25",
                            "CheckMMRUpdate: mmr: 800.00, initialMMR: 812.25, count: 3",
                            "OnMatchEnd: wonMatch: 1",
                            "Match ended: ModeIndex: 2, Wins: 1, Losses: 0, Starting MMR: 900.00, Delta MMR: +00.00",
                            "CheckMMRUpdate: mmr: 915.00, initialMMR: 900.00, count: 0",
                            "OnMatchEnd: wonMatch: 0",
                            "Match ended: ModeIndex: 2, Wins: 1, Losses: 1, Starting MMR: 915.00, Delta MMR: +15.00",
                            "Check MMR Update: maxRetries reached the limit (5)",
                            "OnMatchEnd: wonMatch: 1",
                            "Match ended: ModeIndex: 3, Wins: 1, Losses: 0, Starting MMR: 0.00, Delta MMR: +00.00",
                            "CheckMMRUpdate: mmr: 1500.00, initialMMR: 0.00, count: 0",
                            "OnMatchEnd: wonMatch: 0",
                            "Match ended: ModeIndex: 3, Wins: 1, Losses: 1, Starting MMR: 1500.00, Delta MMR: +00.00",
                            "CheckMMRUpdate: mmr: 1490.00, initialMMR: 1500.00, count: 2"));
    // A rating that never moves is read six times: at once and on five retries.
    EXPECT_THAT(run.out, HasSubstr("GetPlayerMMR 6\n"));
    const auto strings = vtest::DrawnStrings(run.OutLines());
    ASSERT_EQ(strings.size(), 17u) << run.out;
    EXPECT_THAT(std::vector<std::string>(strings.begin() + 1, strings.end()),
                ElementsAre("1vs1 ", " 1   1", " +01.50", "G3 D3     15.50",  //
                            "2vs2 ", " 1   1", " +00.00", "P3 D3     17.00",  //
                            "3vs3 ", " 1   1", " +15.00", "D2 D1     09.00",  //
                            "Total", " 3   3", " +16.50", "-----     -----"));
}

TEST(TrackerSession, StartUpPollAndMatchPollRunSideBySide) {
    const HostRun run = Play(R"(
mmr 11 1000
load
match start 11
match end win
status
mmr 11 1010 after 2
mmr 10 700 after 3
wait 5
status
leave
frame
)");
    EXPECT_THAT(run.out, HasSubstr("pending: 2 timers"));
    EXPECT_THAT(run.out, HasSubstr("pending: 0 timers"));
    EXPECT_THAT(vtest::LogMessages(run.Log()),
                ElementsAre("OnMatchEnd: wonMatch: 1",
                            "Match ended: ModeIndex: 1, Wins: 1, Losses: 0, Starting MMR: 1000.00, Delta MMR: +00.00",
                            "CheckMMRUpdate: mmr: 1010.00, initialMMR: 1000.00, count: 2",
                            "CheckMMRUpdate: mmr: 700.00, initialMMR: 0.00, count: 3"));
    // The 1vs1 rating that turned up late is the player's rating, not a gain of 700.
    const auto strings = vtest::DrawnStrings(run.OutLines());
    ASSERT_EQ(strings.size(), 17u);
    EXPECT_EQ(strings[3], " +00.00");
    EXPECT_EQ(strings[7], " +10.00");
}

TEST(TrackerSession, HostFaultsAreCaughtByTheStepThatMetThem) {
    const HostRun run = Play(R"(
fault GetPlayerMMR throw "rating service down"
load
unload
fault clear
mmr 11 1000
load
match start 11
fault GetWinningTeam throw
match end win
fault GetPlaylistId throw
match end win
match end loss
fault GetPlayerMMR throw
wait 2
status
)");
    EXPECT_THAT(vtest::LogMessages(run.Log()),
                ElementsAre("OnLoad Exception: rating service down",
                            "Exception in onMatchEnd: injected fault in GetWinningTeam",
                            "OnMatchEnd: wonMatch: 1",
                            "Exception in trackMMR: injected fault in GetPlaylistId",
                            "OnMatchEnd: wonMatch: 0",
                            "Match ended: ModeIndex: 1, Wins: 0, Losses: 1, Starting MMR: 1000.00, Delta MMR: +00.00",
                            "Exception in CheckMMRUpdate: injected fault in GetPlayerMMR"));
    EXPECT_THAT(run.out, HasSubstr("escaped exceptions: 0"));
}

TEST(TrackerSession, PendingPollsOutliveTheUnloadedPluginHarmlessly) {
    // Under the sanitizers, a retry reaching the destroyed object would be reported on stderr.
    const HostRun run = Play(R"(
mmr 11 1000
load
match start 11
match end win
unload
wait 130
load
unload
wait 130
status
)");
    EXPECT_THAT(run.out, HasSubstr("escaped exceptions: 0"));
    EXPECT_THAT(run.out, HasSubstr("pending: 0 timers"));
    EXPECT_THAT(vtest::LogMessages(run.Log()),
                ElementsAre("OnMatchEnd: wonMatch: 1",
                            "Match ended: ModeIndex: 1, Wins: 1, Losses: 0, Starting MMR: 1000.00, Delta MMR: +00.00"));
}

TEST(TrackerSession, EachLoadAppendsToTheSameLog) {
    const HostRun run = Play("mmr 10 600\nload\nunload\nload\n");
    EXPECT_THAT(vtest::LogMessages(run.Log()),
                ElementsAre("CheckMMRUpdate: mmr: 600.00, initialMMR: 0.00, count: 0",
                            "CheckMMRUpdate: mmr: 600.00, initialMMR: 0.00, count: 0"));
}

TEST(TrackerSession, SettingsSurviveARestart) {
    const HostRun first = Play("set vantrel_pos_x 123\nset vantrel_enabled 0\n", {});
    HostRunOptions again;
    again.config = first.Config();
    const HostRun second = Play("get vantrel_pos_x\nframe\nset vantrel_enabled 1\nframe\n", again);
    const auto lines = second.OutLines();
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0], "vantrel_pos_x = \"123\"");
    EXPECT_EQ(lines[1], "(nothing drawn)");
    EXPECT_EQ(lines[3], "SetPosition 118 345");
}

// The examples a person reads are sessions whose logs we know.
TEST(TrackerSession, ExamplesWriteTheLogTheirCommentsDescribe) {
    for (const char* name : {"evening", "failures", "week"}) {
        const HostRun run = Play(vtest::ReadFile(std::string(VANTREL_EXAMPLES_DIR) + "/" + name + ".vsh"), {});
        EXPECT_EQ(vtest::LogMessages(run.Log()),
                  vtest::ReadLines(std::string(VANTREL_EXAMPLES_DIR) + "/" + name + ".messages"))
            << name;
    }
}

}  // namespace
