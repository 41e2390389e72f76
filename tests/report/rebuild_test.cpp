// The history fed in pieces cut anywhere is the history read whole, and the record of
// changes between pieces tells a follower everything that moved; and the rules at their
// edges, each on a small crafted log.
#include <algorithm>
#include <cmath>
#include <random>
#include <utility>

#include <fmt/format.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "rebuild.h"
#include "report_test_support.h"

namespace {

using vtest::Describe;
using vtest::Ended;
using vtest::kLimit5;
using vtest::Rating;
using vtest::Read;
using vtest::SessionOfEach;
using vtest::Won;

using namespace vantrel::report;
using vtest::LogText;
using ::testing::ElementsAre;


// Logs with every kind of line, ending and damage, and loads inferred late.
std::vector<std::string> Logs() {
    std::vector<std::string> logs;
    for (const char* name : {"evening", "failures", "week"}) logs.push_back(vtest::ExampleLog(name));
    LogText mixed;
    mixed.Crlf()
        .Line(Rating(700, 0, 0))
        .Line(Won(true))
        .Line(Ended(1, 1, 0, 1000))
        .Line("Exception in onMatchEnd: two\nlines \xc3\xa9\xe2\x82\xac")
        .Raw(std::string(9000, '\xe2') + "\r\n")
        .Line(Rating(1010, 1000, 2), 100)
        // Reloaded without a line: two matches that continue the counts, then the start-up
        // poll's late line moves them.
        .Line(Won(false))
        .Line(Ended(2, 0, 1, 850), 5)
        .Line(Won(true))
        .Line(Ended(0, 1, 0, 1010), 1)
        .Line(Rating(1022, 1010, 1))
        .Line(Rating(760, 0, 40), 600)
        .Line(Rating(841, 850, 3))  // nobody's now
        .Raw(std::string("\r\n\0garbage\r\r\n", 13))
        .Line("Check MMR Update: maxRetries reached the limit (120)")
        .Raw("2024-03-05 22:00:00 - OnMatchEnd: wonMatch: 1\r");  // a last line without LF
    logs.push_back(mixed.str());
    return logs;
}

TEST(ReportRebuild, PiecesCutAnywhereGiveTheWholeHistoryAndTheChangesTellWhatMoved) {
    std::mt19937 random(20240305);
    const std::vector<std::string> logs = Logs();
    int reshapes = 0;
    for (const std::string& log : logs) {
        const History whole = vtest::Read(log);
        for (int round = 0; round < 6; ++round) {
            HistoryBuilder builder;
            History seen;
            for (std::size_t at = 0; at < log.size();) {
                // Mostly small pieces (cutting CR LF pairs and characters), now and then a large one.
                const std::size_t size = random() % 16 == 0 ? 1 + random() % 2000 : 1 + random() % 24;
                builder.Feed(std::string_view(log).substr(at, size));
                at += size;
                const History& now = builder.history();
                const HistoryChanges changes = builder.TakeChanges();
                ASSERT_EQ(changes.firstNewMatch, seen.matches.size());
                ASSERT_EQ(changes.firstNewSession, seen.sessions.size());
                for (std::size_t i = 0; i < seen.matches.size(); ++i) {
                    const Match& before = seen.matches[i];
                    const Match& after = now.matches[i];
                    const bool found = std::binary_search(changes.ratingsFound.begin(), changes.ratingsFound.end(), i);
                    EXPECT_EQ(found, !before.after && after.after) << "match " << i;
                    if (!found) {
                        EXPECT_EQ(before.after, after.after) << "match " << i;
                    }
                    if (!changes.reshapedFrom || i < *changes.reshapedFrom) {
                        EXPECT_EQ(before.session, after.session) << "match " << i;
                    }
                }
                reshapes += changes.reshapedFrom.has_value();
                seen = now;
            }
            builder.Finish();
            vtest::ExpectSameHistory(builder.history(), whole);
        }
    }
    EXPECT_GT(reshapes, 0);  // the late start-up line moved matches the follower had seen
}

// A start-up line dates its load `count` seconds back. The session's own load lies at or
// before its first line (within the stamp's second); one dated later is another load's,
// and what follows is the new session's.
TEST(ReportRebuild, AStartupLineDatedPastTheSessionsFirstSecondOpensANewSession) {
    for (const int late : {1, 2}) {
        const History history = Read(LogText()
                                         .Line(Won(true), 0)  // 21:00:00, the session's first line
                                         .Line(Ended(1, 1, 0, 1000), 3)
                                         .Line(Rating(1010, 1000, 3), 20)
                                         .Line(Rating(700, 0, 23 - late), 10)  // the load at 21:00:0{late}
                                         .Line(Won(true))
                                         .Line(Ended(1, 2, 0, 1010))
                                         .str());
        EXPECT_THAT(SessionOfEach(history), ElementsAre(1, late == 1 ? 1 : 2)) << late;
        EXPECT_EQ(history.sessions.size(), late == 1 ? 1u : 2u) << late;
    }
}

TEST(ReportRebuild, MatchPollsEndAsTheirLinesSay) {
    // A rating that fits no poll in time (a changed clock) goes to the nearest poll of its
    // starting rating; equally far from two, to the older.
    EXPECT_THAT(Describe(Read(LogText()
                                  .Line(Won(true), 0)
                                  .Line(Ended(1, 1, 0, 1000), 10)
                                  .Line(Won(true), 0)
                                  .Line(Ended(2, 1, 0, 1000), -3)
                                  .Line(Rating(1010, 1000, 2))  // 7 s after the first, -3 after the second
                                  .str())),
                ElementsAre("1 2vs2 W 1000.00>1010.00", "1 3vs3 W 1000.00>?"));
    // Two polls begun in the same second: the limit line ends the older; the younger's
    // line still pairs with it.
    EXPECT_THAT(Describe(Read(LogText()
                                  .Line(Won(true), 0)
                                  .Line(Ended(1, 1, 0, 1000), 0)
                                  .Line(Won(false), 0)
                                  .Line(Ended(2, 0, 1, 900), 5)
                                  .Line(kLimit5, 0)
                                  .Line(Rating(890, 900, 5))
                                  .str())),
                ElementsAre("1 2vs2 W 1000.00>?", "1 3vs3 L 900.00>890.00"));
    // A trackMMR exception right after the second of two pending matches cancels only that
    // match's poll: the first one's rating still pairs, the second's finds nothing.
    const History cancelled = Read(LogText()
                                       .Line(Won(true), 0)
                                       .Line(Ended(1, 1, 0, 1000), 1)
                                       .Line(Won(false), 0)
                                       .Line(Ended(2, 0, 1, 900), 0)
                                       .Line("Exception in trackMMR: no server", 2)
                                       .Line(Rating(1010, 1000, 3), 0)
                                       .Line(Rating(890, 900, 2))
                                       .str());
    EXPECT_THAT(Describe(cancelled), ElementsAre("1 2vs2 W 1000.00>1010.00", "1 3vs3 L 900.00>?"));
    EXPECT_EQ(cancelled.stats.unpairedPollLines, 1u);
    // A line that fits two polls of its starting rating goes to the one it is least late for.
    EXPECT_THAT(Describe(Read(LogText()
                                  .Line(Won(true), 0)
                                  .Line(Ended(1, 1, 0, 1000), 1)
                                  .Line(Won(true), 0)
                                  .Line(Ended(2, 1, 0, 1000), 2)
                                  .Line(Rating(1010, 1000, 2))  // 1 s late for the first, on time for the second
                                  .str())),
                ElementsAre("1 2vs2 W 1000.00>?", "1 3vs3 W 1000.00>1010.00"));
    // A retry that failed ends the oldest pending poll: its rating, read later, pairs with nothing.
    EXPECT_THAT(Describe(Read(LogText()
                                  .Line(Won(true), 0)
                                  .Line(Ended(1, 1, 0, 1000), 1)
                                  .Line("Exception in CheckMMRUpdate: timed out", 1)
                                  .Line(Rating(1010, 1000, 2))
                                  .str())),
                ElementsAre("1 2vs2 W 1000.00>?"));
    // A rating written as "inf" pairs with a match that started from "inf", and with no other.
    EXPECT_THAT(Describe(Read(LogText()
                                  .Line(Won(true), 0)
                                  .Line(Ended(1, 1, 0, 1000), 2)
                                  .Line(Rating(1010, HUGE_VAL, 2), 10)
                                  .Line(Won(true), 0)
                                  .Line(Ended(2, 1, 0, HUGE_VAL), 2)
                                  .Line(Rating(1020, HUGE_VAL, 2))
                                  .str())),
                ElementsAre("1 2vs2 W 1000.00>?", "1 3vs3 W inf>1020.00"));
}

TEST(ReportRebuild, ReloadsThatWroteNoLine) {
    // Counts where the wins fall while the losses rise (2-1, then 1-3): another object.
    EXPECT_THAT(SessionOfEach(Read(LogText()
                                       .Line(Won(true))
                                       .Line(Ended(1, 2, 1, 1000))
                                       .Line(Won(false))
                                       .Line(Ended(1, 1, 3, 1010))
                                       .str())),
                ElementsAre(1, 2));
    // Counts that only jump ahead (2-1, then 2-3 or 4-1: lines missing) stay in the session.
    for (const auto& [wins, losses] : {std::pair{2, 3}, std::pair{4, 1}}) {
        EXPECT_THAT(SessionOfEach(Read(LogText()
                                           .Line(Won(true))
                                           .Line(Ended(1, 2, 1, 1000))
                                           .Line(Won(false))
                                           .Line(Ended(1, wins, losses, 1010))
                                           .str())),
                    ElementsAre(1, 1))
            << wins << "-" << losses;
    }
    // Reloaded at 21:01:40 without a line: a first 3vs3 match, then the 2vs2 counts restart
    // and begin a session; the start-up poll's late line dates the load before the 3vs3
    // match, which moves into that session too.
    const History back = Read(LogText()
                                  .Line(Rating(700, 0, 0), 60)
                                  .Line(Won(true), 0)
                                  .Line(Ended(1, 1, 0, 1000), 50)  // 21:01:00
                                  .Line(Won(true), 0)
                                  .Line(Ended(2, 1, 0, 800), 20)  // 21:01:50
                                  .Line(Won(true), 0)
                                  .Line(Ended(1, 1, 0, 1010), 10)  // 21:02:10
                                  .Line(Rating(760, 0, 40))          // 21:02:20: loaded at 21:01:40
                                  .str());
    EXPECT_THAT(SessionOfEach(back), ElementsAre(1, 2, 2));
    // Reloaded at 21:10:00 without a line: a mode's first match stamped in the load's own
    // second and a second one after it both move to the new session when the start-up
    // poll's late line arrives.
    const History moved = Read(LogText()
                                   .Line(Won(true), 0)
                                   .Line(Ended(1, 1, 0, 1000), 600)
                                   .Line(Won(true), 0)  // 21:10:00
                                   .Line(Ended(2, 1, 0, 800), 30)
                                   .Line(Won(false), 0)
                                   .Line(Ended(2, 1, 1, 810), 10)
                                   .Line(Rating(700, 0, 40))
                                   .str());
    EXPECT_THAT(SessionOfEach(moved), ElementsAre(1, 2, 2));
    ASSERT_EQ(moved.sessions.size(), 2u);
    EXPECT_TRUE(moved.sessions[1].loadSeen);
    EXPECT_EQ(moved.sessions[1].matchCount, 2u);
}

}  // namespace
