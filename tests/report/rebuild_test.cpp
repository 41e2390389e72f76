// The history fed in pieces cut anywhere is the history read whole, and the record of
// changes between pieces tells a follower everything that moved.
#include <algorithm>
#include <random>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "rebuild.h"
#include "report_test_support.h"

namespace {

using vtest::Ended;
using vtest::Rating;
using vtest::Won;

using namespace vantrel::report;
using vtest::LogText;


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

}  // namespace
