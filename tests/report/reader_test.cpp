// The log reader and the reconstruction of matches and sessions, on crafted logs.
#include <limits>

#include <fmt/format.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "log_reader.h"
#include "report_test_support.h"
#include "summary.h"

namespace {

using vtest::Ended;
using vtest::Rating;
using vtest::Won;

using namespace vantrel::report;
using vtest::LogText;
using vtest::Read;
using ::testing::ElementsAre;

using vtest::Describe;
using vtest::kLimit120;
using vtest::kLimit5;
using vtest::SessionOfEach;

TEST(ReportReader, ExampleLogsGiveTheirKnownHistories) {
    const History evening = Read(vtest::ExampleLog("evening"));
    EXPECT_THAT(Describe(evening), ElementsAre("1 2vs2 W 1000.50>1012.25", "1 2vs2 L 1012.25>1003.00",
                                               "1 3vs3 W 850.00>859.50", "1 3vs3 W 859.50>868.75",
                                               "1 1vs1 L 757.00>?", "1 Other W 0.00>540.00"));
    ASSERT_EQ(evening.sessions.size(), 1u);
    EXPECT_TRUE(evening.sessions[0].loadSeen);  // the start-up poll's line opens the log
    EXPECT_EQ(evening.stats.logLines, evening.stats.lines);
    EXPECT_EQ(evening.stats.unreadable + evening.stats.unpairedPollLines, 0u);
    // The first "Other" rating is a first reading, not a change.
    EXPECT_FALSE(evening.matches[5].change().has_value());
    EXPECT_FLOAT_EQ(*evening.matches[0].change(), 11.75f);

    const std::array<ModeSummary, kModeCount> modes = SummariseModes(evening);
    EXPECT_EQ(modes[1].matches, 2);
    EXPECT_EQ(modes[1].wins, 1);
    EXPECT_FLOAT_EQ(*modes[1].firstRating, 1000.5f);
    EXPECT_FLOAT_EQ(*modes[1].lastRating, 1003.0f);
    EXPECT_FLOAT_EQ(*modes[1].peakRating, 1012.25f);
    EXPECT_EQ(modes[2].longestWinStreak, 2);
    EXPECT_EQ(modes[0].longestLossStreak, 1);
    EXPECT_FLOAT_EQ(*modes[0].lastRating, 757.0f);  // the poll gave up: the last known rating is the one before
    const std::vector<SessionSummary> sessions = SummariseSessions(evening);
    EXPECT_FLOAT_EQ(sessions[0].modes[2].change, 18.75f);
    EXPECT_EQ(sessions[0].modes[0].knownChanges, 0);

    // A failed start-up, a healthy one, errors of every kind: two sessions, two matches.
    const History failures = Read(vtest::ExampleLog("failures"));
    EXPECT_THAT(Describe(failures), ElementsAre("2 2vs2 L 900.00>?", "2 2vs2 W 900.00>?"));
    ASSERT_EQ(failures.sessions.size(), 2u);
    EXPECT_TRUE(failures.sessions[0].loadFailed);
    EXPECT_TRUE(failures.sessions[1].loadSeen);
    EXPECT_FALSE(failures.sessions[1].loadFailed);
    EXPECT_EQ(failures.stats.unreadable, 0u);
}

TEST(ReportReader, LineEndingsCutsAndGarbageLoseNoGoodLine) {
    // Long enough that lines straddle the reader's blocks.
    LogText lf, crlf;
    crlf.Crlf();
    for (LogText* log : {&lf, &crlf}) {
        log->Line(Rating(700, 0, 0));
        for (int i = 1; i <= 3000; ++i) {
            log->Line(Won(i % 3 != 0)).Line(Ended(1, i - i / 3, i / 3, 1000 + i)).Line(Rating(1001 + i, 1000 + i, 2), 300);
        }
    }
    const History a = Read(lf.str());
    const History b = Read(crlf.str());
    ASSERT_GT(lf.str().size(), 2 * kReadBlockSize);
    EXPECT_EQ(a.matches.size(), 3000u);
    EXPECT_EQ(Describe(a), Describe(b));
    EXPECT_EQ(a.stats.unreadable + b.stats.unreadable, 0u);
    EXPECT_EQ(a.stats.lines, b.stats.lines);

    // Cut in the middle of its last line: the line is unreadable, the rest stands.
    const std::string whole = LogText().Line(Won(true)).Line(Ended(1, 1, 0, 1000)).Line(Rating(1010, 1000, 1)).str();
    const History cut = Read(whole.substr(0, whole.size() - 12));
    EXPECT_THAT(Describe(cut), ElementsAre("1 2vs2 W 1000.00>?"));
    EXPECT_EQ(cut.stats.unreadable, 1u);
    EXPECT_EQ(cut.stats.firstUnreadableLine, 3u);
    // A last line without its newline is whole.
    EXPECT_THAT(Describe(Read(whole.substr(0, whole.size() - 1))), ElementsAre("1 2vs2 W 1000.00>1010.00"));

    // Binary garbage: NULs, bytes that are not UTF-8, a stray CR, a line of 3 MB.
    const std::string garbage = LogText()
                                    .Line(Won(false))
                                    .Raw(std::string("\0\xff\xfe garbage\r\n", 14))
                                    .Raw(std::string(3'000'000, '\x80') + "\n")
                                    .Line(Ended(2, 0, 1, 850))
                                    .Raw("2024-13-05 21:00:00 - OnMatchEnd: wonMatch: 1\n")  // month 13
                                    .Raw("2024-03-05 21:00:00 - OnMatchEnd: wonMatch: 2\n")  // no such result
                                    .Raw("\r\n")
                                    .Line(Rating(840.5, 850, 3))
                                    .str();
    const History damaged = Read(garbage);
    EXPECT_THAT(Describe(damaged), ElementsAre("1 3vs3 L 850.00>840.50"));
    EXPECT_EQ(damaged.stats.unreadable, 5u);
    EXPECT_EQ(damaged.stats.firstUnreadableLine, 2u);
    EXPECT_EQ(damaged.stats.lines, 8u);

    // Stamps are checked whole whatever was read before (the reader remembers the last day
    // and minute), and numbers that do not fit are unreadable, not wrapped.
    LocalSeconds time = 0;
    EXPECT_FALSE(ParseTimestamp(std::string(16, '\0') + ":00", time));
    EXPECT_FALSE(ParseTimestamp(std::string(10, '\0') + " 00:00:00", time));
    ASSERT_TRUE(ParseTimestamp("2024-03-05 23:59:59", time));
    EXPECT_FALSE(ParseTimestamp("2024-03-05 24:00:00", time));
    EXPECT_FALSE(ParseTimestamp("2024-03-05 23:60:00", time));
    ASSERT_TRUE(ParseTimestamp("2024-03-05 00:01:02", time));
    EXPECT_EQ(time, ToLocalSeconds({2024, 3, 5, 0, 1, 2}));
    LogLine parsed;
    EXPECT_TRUE(ParseLogLine("2024-03-05 21:00:00 - Match ended: ModeIndex: 1, Wins: 2147483647, Losses: 0, "
                             "Starting MMR: 1.00, Delta MMR: 0.00", parsed));
    EXPECT_EQ(parsed.wins, 2147483647);
    EXPECT_FALSE(ParseLogLine("2024-03-05 21:00:00 - Match ended: ModeIndex: 1, Wins: 2147483648, Losses: 0, "
                              "Starting MMR: 1.00, Delta MMR: 0.00", parsed));
    // A match line damaged after its rating, or cut inside its summed change, is no match.
    for (const char* end : {"1.00x", "1.00, Delta MMR: "}) {
        EXPECT_FALSE(ParseLogLine(std::string("2024-03-05 21:00:00 - Match ended: ModeIndex: 1, Wins: 1, Losses: 0, "
                                              "Starting MMR: ") + end, parsed))
            << end;
    }
    EXPECT_TRUE(ParseLogLine("2024-03-05 21:00:00 - Check MMR Update: maxRetries reached the limit "
                             "(-9223372036854775808)", parsed));
    EXPECT_EQ(parsed.limit, std::numeric_limits<std::int64_t>::min());
}

TEST(ReportReader, ExceptionTextsWithLineBreaksAreContinuations) {
    const History history = Read(LogText()
                                     .Line(Rating(700, 0, 0))
                                     .Line("Exception in onMatchEnd: first line\nsecond line\n\n2024 not a stamp")
                                     .Line(Won(true))
                                     .Line(Ended(1, 1, 0, 900))
                                     .Line("Exception in trackMMR: bad\nthing")  // the first reading failed
                                     .Line(Rating(910, 900, 2))                  // so this one is nobody's
                                     .Raw("stray text\n")
                                     .str());
    EXPECT_THAT(Describe(history), ElementsAre("1 2vs2 W 900.00>?"));
    EXPECT_EQ(history.stats.continuationLines, 4u);
    EXPECT_EQ(history.stats.unpairedPollLines, 1u);
    EXPECT_EQ(history.stats.unreadable, 1u);
    EXPECT_EQ(history.stats.firstUnreadableLine, 11u);
}

TEST(ReportReader, TimeGoingBackKeepsFileOrder) {
    // Clocks go back an hour between the match and its rating, and again before the next.
    const History history = Read(LogText()
                                     .Line(Rating(700, 0, 0))
                                     .Line(Won(true))
                                     .Line(Ended(0, 1, 0, 700), -3600)
                                     .Line(Rating(712, 700, 3), 600)
                                     .Line(Won(false), -7200)
                                     .Line(Ended(0, 1, 1, 712))
                                     .Line(Rating(700, 712, 1))
                                     .str());
    EXPECT_THAT(Describe(history), ElementsAre("1 1vs1 W 700.00>712.00", "1 1vs1 L 712.00>700.00"));
    EXPECT_GT(history.matches[0].time, history.matches[1].time);
}

TEST(ReportReader, PollsArePairedByInitialRatingOrderAndTime) {
    const History history =
        Read(LogText()
                 .Line(Rating(700, 0, 0))
                 // Two polls pending, in 2vs2 and 3vs3: answered in reverse order.
                 .Line(Won(true))
                 .Line(Ended(1, 1, 0, 1000))
                 .Line(Won(false))
                 .Line(Ended(2, 0, 1, 850), 3)
                 .Line(Rating(842, 850, 1))
                 .Line(Rating(1009, 1000, 4), 60)
                 // Same starting rating in two modes: the stamps tell which poll is at which count.
                 .Line(Won(true))
                 .Line(Ended(0, 1, 0, 900), 3)
                 .Line(Won(false))
                 .Line(Ended(2, 0, 2, 900), 1)
                 .Line(Rating(890, 900, 1))  // 3vs3's first retry, 1 s after its match
                 .Line(Rating(911, 900, 5), 60)
                 // Two pending, both give up: the oldest reaches the limit first.
                 .Line(Won(true))
                 .Line(Ended(0, 2, 0, 911), 2)
                 .Line(Won(true))
                 .Line(Ended(1, 2, 0, 1009), 3)
                 .Line(kLimit5)
                 .Line(Rating(1020, 1009, 4), 60)
                 // From 0.00 at count 0 right after its match: that match's first rating.
                 .Line(Won(true))
                 .Line(Ended(3, 1, 0, 0), 0)  // written in the same call, so in the same second
                 .Line(Rating(540, 0, 0), 60)
                 // A retry failure ends the oldest pending poll.
                 .Line(Won(false))
                 .Line(Ended(3, 1, 1, 540))
                 .Line("Exception in CheckMMRUpdate: timed out")
                 .str());
    EXPECT_THAT(Describe(history),
                ElementsAre("1 2vs2 W 1000.00>1009.00", "1 3vs3 L 850.00>842.00", "1 1vs1 W 900.00>911.00",
                            "1 3vs3 L 900.00>890.00", "1 1vs1 W 911.00>?", "1 2vs2 W 1009.00>1020.00",
                            "1 Other W 0.00>540.00", "1 Other L 540.00>?"));
    EXPECT_EQ(history.sessions.size(), 1u);
    EXPECT_EQ(history.stats.unpairedPollLines, 0u);
}

TEST(ReportReader, StartupPollsMarkLoadsAndAreNoMatches) {
    const History history =
        Read(LogText()
                 // A load whose 1vs1 rating came 30 s late, with a match poll from 0.00 pending at the same time.
                 .Line(Won(true))
                 .Line(Ended(3, 1, 0, 0), 2)
                 .Line(Rating(530, 0, 2), 23)              // 2 s after the match: the match's
                 .Line(Rating(760, 0, 30), 600)            // too late for the match poll: the start-up's
                 // Reloaded: its start-up line at once.
                 .Line(Rating(760, 0, 0))
                 .Line(Won(false))
                 .Line(Ended(0, 0, 1, 760))
                 .Line(Rating(750, 760, 2), 600)
                 // Reloaded without a line, then a match, then the start-up poll's late line (a 2vs2 rating
                 // unknown at load): the match moves into the new session.
                 .Line(Won(true))
                 .Line(Ended(1, 1, 0, 1000))
                 .Line(Rating(1010, 1000, 2), 20)
                 .Line(Rating(750, 0, 40), 600)
                 // Reloaded, and the start-up poll gave up after two minutes, before any match.
                 .Line(kLimit120, 600)
                 .str());
    EXPECT_THAT(Describe(history), ElementsAre("1 Other W 0.00>530.00", "2 1vs1 L 760.00>750.00",
                                               "3 2vs2 W 1000.00>1010.00"));
    ASSERT_EQ(history.sessions.size(), 4u);
    EXPECT_THAT((std::vector<bool>{history.sessions[0].loadSeen, history.sessions[1].loadSeen,
                                   history.sessions[2].loadSeen, history.sessions[3].loadSeen}),
                ElementsAre(true, true, true, true));
    EXPECT_EQ(history.sessions[3].matchCount, 0u);

    // A start-up that read the 1vs1 rating and then failed: one load.
    const History failed = Read(LogText().Line(Rating(700, 0, 0)).Line("OnLoad Exception: no ranks").str());
    ASSERT_EQ(failed.sessions.size(), 1u);
    EXPECT_TRUE(failed.sessions[0].loadFailed);
}

TEST(ReportReader, CountsDecideSessionsWhenLoadsLeftNoLine) {
    const History history = Read(LogText()
                                     .Line(Won(true))
                                     .Line(Ended(1, 1, 0, 1000))
                                     .Line(Won(true))
                                     .Line(Ended(1, 2, 0, 1010))
                                     .Wait(8 * 3600)  // a night: a gap alone is no new session
                                     .Line(Won(false))
                                     .Line(Ended(1, 2, 1, 1020))
                                     .Line(Won(false))
                                     .Line(Ended(2, 0, 1, 800))  // first 3vs3: continues the counts
                                     .Line(Won(true))
                                     .Line(Ended(1, 1, 0, 1010))  // 2vs2 counts restart: a new object
                                     .Line(Ended(1, 4, 2, 1030))  // a jump ahead: same object, lines missing
                                     .Line(Ended(1, 4, 3, 1030))
                                     .Line(Ended(1, 2, 2, 1040))  // went down: another object, its first lines missing
                                     .str());
    EXPECT_THAT(SessionOfEach(history), ElementsAre(1, 1, 1, 1, 2, 2, 2, 3));
    EXPECT_FALSE(history.sessions[1].loadSeen);
    // No result line before a match: the counts' growth gives it.
    EXPECT_EQ(Describe(history)[5], "2 2vs2 W 1030.00>?");
    EXPECT_EQ(Describe(history)[6], "2 2vs2 L 1030.00>?");
}

TEST(ReportReader, FiltersAndSummaries) {
    LogText log;
    log.Line(Rating(700, 0, 0));
    const int counts[4][2] = {{1, 0}, {2, 0}, {2, 1}, {3, 1}};  // an hour apart
    for (int i = 0; i < 4; ++i) {
        log.Line(Won(i != 2)).Line(Ended(0, counts[i][0], counts[i][1], 701 + i)).Line(Rating(702 + i, 701 + i, 1), 3600);
    }
    log.Wait(86400).Line(Rating(700, 0, 0)).Line(Won(true)).Line(Ended(1, 1, 0, 1000)).Line(Rating(990, 1000, 1));
    const History all = Read(log.str());
    ASSERT_EQ(all.sessions.size(), 2u);

    History twoVsTwo = all;
    Filter modes;
    modes.modes = {false, true, false, false};
    ApplyFilter(twoVsTwo, modes);
    ASSERT_EQ(twoVsTwo.sessions.size(), 1u);  // the 1vs1 session is left empty and goes
    EXPECT_THAT(Describe(twoVsTwo), ElementsAre("1 2vs2 W 1000.00>990.00"));

    History recent = all;
    Filter since;
    since.since = ToLocalSeconds({2024, 3, 5, 23, 30, 0});
    ApplyFilter(recent, since);
    EXPECT_EQ(recent.matches.size(), 2u);  // the last 1vs1 match and the 2vs2 one
    EXPECT_EQ(recent.sessions[1].firstMatch, 1u);

    History last = all;
    Filter lastOne;
    lastOne.lastSessions = 1;
    ApplyFilter(last, lastOne);
    EXPECT_THAT(Describe(last), ElementsAre("1 2vs2 W 1000.00>990.00"));
    EXPECT_EQ(last.sessions[0].firstMatch, 0u);
}

TEST(ReportReader, PollLinesBelongWhereTheirStampAndCountPutThem) {
    const History history =
        Read(LogText()
                 .Line(Rating(700, 0, 0))
                 // A match poll retries five times at most: from 0.00, count 5 can be a match's,
                 // count 6 only a start-up poll's (of a load that wrote nothing before it).
                 .Line(Won(true))
                 .Line(Ended(3, 1, 0, 0), 5)
                 .Line(Rating(510, 0, 5), 60)
                 .Line(Won(true))
                 .Line(Ended(3, 2, 0, 0), 6)
                 .Line(Rating(520, 0, 6), 60)
                 // Two polls from the same rating begun in the same second: the first line goes to
                 // the oldest, the second to the other.
                 .Line(Won(true), 0)
                 .Line(Ended(1, 1, 0, 1000), 0)
                 .Line(Won(false), 0)
                 .Line(Ended(2, 0, 1, 1000), 2)
                 .Line(Rating(1010, 1000, 2), 1)
                 .Line(Rating(990, 1000, 3), 60)
                 // A reading from 0.00 at once, a second after the match from 0.00: not the match's
                 // (written in the same call, it would carry the same second) but a reload's.
                 .Line(Won(true))
                 .Line(Ended(3, 3, 0, 520), 0)
                 .Line(Won(false))
                 .Line(Ended(3, 3, 1, 0), 1)
                 .Line(Rating(700, 0, 0))
                 .str());
    EXPECT_THAT(Describe(history), ElementsAre("1 Other W 0.00>510.00", "1 Other W 0.00>?", "2 2vs2 W 1000.00>1010.00",
                                               "2 3vs3 L 1000.00>990.00", "2 Other W 520.00>?",
                                               "2 Other L 0.00>?"));
    ASSERT_EQ(history.sessions.size(), 3u);
    EXPECT_EQ(history.sessions[1].firstLine, 7u);  // the count-6 line
    EXPECT_EQ(history.sessions[2].matchCount, 0u);
}

TEST(ReportReader, ALateStartupLineDatesItsLoad) {
    const History history = Read(LogText()
                                     .Line(Rating(700, 0, 0))
                                     .Line(Won(true))
                                     .Line(Ended(1, 1, 0, 1000), 60)
                                     // Reloaded without a line: the counts restart.
                                     .Line(Won(true))
                                     .Line(Ended(1, 1, 0, 1000), 100)
                                     .Line(Won(false))
                                     .Line(Ended(2, 0, 1, 800), 50)
                                     // Reloaded again here, without a line; two matches that
                                     // continue the counts, then the start-up line: its load lies
                                     // 30 s back, after the session's first line, so it is not
                                     // that session's. Both matches after it are the new load's.
                                     .Line(Won(true), 0)
                                     .Line(Ended(3, 1, 0, 0), 0)
                                     .Line(Rating(540, 0, 0), 10)
                                     .Line(Won(true), 0)
                                     .Line(Ended(0, 1, 0, 700), 19)
                                     .Line(Rating(760, 0, 30))
                                     .str());
    EXPECT_THAT(SessionOfEach(history), ElementsAre(1, 2, 2, 3, 3));
    ASSERT_EQ(history.sessions.size(), 3u);
    EXPECT_FALSE(history.sessions[1].loadSeen);
    EXPECT_TRUE(history.sessions[2].loadSeen);
}

TEST(ReportReader, CountsThatStartAgainOrARatingForgottenMarkAReloadThatWroteNoLine) {
    // The same result again at 1-0 (or 0-1): a new object, although the counts did not go down.
    for (const bool won : {true, false}) {
        const History history = Read(LogText()
                                         .Line(Rating(700, 0, 0))
                                         .Line(Won(won))
                                         .Line(Ended(1, won, !won, 1000), 60)
                                         .Line(Won(won))
                                         .Line(Ended(1, won, !won, 1000), 60)
                                         .Line(Won(!won))
                                         .Line(Ended(1, 1, 1, 1000))
                                         .str());
        EXPECT_THAT(SessionOfEach(history), ElementsAre(1, 2, 2)) << won;
        EXPECT_FALSE(history.sessions[1].loadSeen);
    }
    // A first 1vs1 match from 0.00 after the start-up line read the 1vs1 rating: the object
    // that read it would start from that rating, so another object played it.
    const History forgot = Read(LogText()
                                    .Line(Rating(700, 0, 0))
                                    .Line(Won(true))
                                    .Line(Ended(1, 1, 0, 1000), 60)
                                    .Line(Won(false))
                                    .Line(Ended(0, 0, 1, 0))
                                    .str());
    EXPECT_THAT(Describe(forgot), ElementsAre("1 2vs2 W 1000.00>?", "2 1vs1 L 0.00>?"));
}

TEST(ReportReader, StreaksRestartWhenTheResultTurns) {
    History history;
    history.sessions.push_back(Session{});
    for (const char result : std::string("LWLWWLWWWL")) {
        Match match;
        match.won = result == 'W';
        history.matches.push_back(match);
    }
    history.sessions[0].matchCount = static_cast<std::uint32_t>(history.matches.size());
    const ModeSummary summary = SummariseModes(history)[0];
    EXPECT_EQ(summary.longestWinStreak, 3);
    EXPECT_EQ(summary.longestLossStreak, 1);
    history.matches.resize(3);  // lost, won, lost
    history.sessions[0].matchCount = 3;
    EXPECT_EQ(SummariseModes(history)[0].longestLossStreak, 1);
    EXPECT_EQ(SummariseModes(history)[0].longestWinStreak, 1);
}

TEST(ReportCalendar, MonthEndsLeapDaysAndCenturyYears) {
    for (const char* day : {"2024-02-29", "2000-02-29", "2024-04-30", "2024-12-31", "1900-02-28", "2100-02-28"}) {
        LocalSeconds time = 0;
        EXPECT_TRUE(ParseTimestamp(std::string(day) + " 23:59:59", time)) << day;
    }
    for (const char* day : {"2023-02-29", "1900-02-29", "2100-02-29", "2024-04-31", "2024-06-31", "2024-01-32"}) {
        LocalSeconds time = 0;
        EXPECT_FALSE(ParseTimestamp(std::string(day) + " 12:00:00", time)) << day;
    }
    // The second after a month's last is the first of the next month.
    const std::pair<const char*, const char*> next[] = {
        {"2024-02-28 23:59:59", "2024-02-29 00:00:00"}, {"2024-02-29 23:59:59", "2024-03-01 00:00:00"},
        {"2023-02-28 23:59:59", "2023-03-01 00:00:00"}, {"2100-02-28 23:59:59", "2100-03-01 00:00:00"},
        {"1900-02-28 23:59:59", "1900-03-01 00:00:00"}, {"2000-02-28 23:59:59", "2000-02-29 00:00:00"},
        {"2024-04-30 23:59:59", "2024-05-01 00:00:00"}, {"2024-12-31 23:59:59", "2025-01-01 00:00:00"},
    };
    for (const auto& [before, after] : next) {
        LocalSeconds a = 0, b = 0;
        ASSERT_TRUE(ParseTimestamp(before, a) && ParseTimestamp(after, b)) << before;
        EXPECT_EQ(b, a + 1) << before;
        EXPECT_EQ(FormatLocalTime(a + 1), after);
        const CivilTime t = ToCivilTime(b);
        EXPECT_EQ(ToLocalSeconds(t), b);
        EXPECT_EQ(fmt::format("{:04d}-{:02d}-{:02d} {:02d}:{:02d}:{:02d}", t.year, t.month, t.day, t.hour, t.minute,
                              t.second),
                  after);
    }
}

}  // namespace
