// Values a host may hand the plug-in that no sane game would: ratings that are not numbers,
// infinite, negative zero, huge or negative; rank records outside the table; playlist ids at
// the ends of the int range; console values that do not parse, are out of range or NaN.
// Each runs through vantrel-host under the sanitizers: nothing may escape, the counts must
// be right and the drawn table must hold no "nan" or "inf" except where a finite sum of
// changes overflowed.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>

#include "host_output.h"
#include "run_host.h"

namespace {

using ::testing::HasSubstr;
using vtest::HostRun;
using vtest::HostRunOptions;

using WinLoss = std::pair<int, int>;
const std::vector<WinLoss> kNoCounts = {{0, 0}, {0, 0}, {0, 0}, {0, 0}};

struct BadValue {
    BadValue(std::string name_, std::string script_, std::vector<WinLoss> counts_ = kNoCounts,
             std::vector<std::string> inFrame_ = {}, std::vector<std::string> inLog_ = {},
             std::optional<std::string> config_ = std::nullopt, bool totalMayOverflow_ = false)
        : name(std::move(name_)), script(std::move(script_)), counts(std::move(counts_)),
          inFrame(std::move(inFrame_)), inLog(std::move(inLog_)), config(std::move(config_)),
          totalMayOverflow(totalMayOverflow_) {}

    std::string name;
    std::string script;                  // the session; it has its own `load` line
    std::vector<WinLoss> counts;         // per row, the total last
    std::vector<std::string> inFrame;    // lines the output (the frame) must hold
    std::vector<std::string> inLog;      // texts the log must hold
    std::optional<std::string> config;   // config.cfg before the run
    bool totalMayOverflow;               // the total's change may read "+inf"
};

void PrintTo(const BadValue& value, std::ostream* os) { *os << value.name; }

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

class BadValues : public ::testing::TestWithParam<BadValue> {};

TEST_P(BadValues, LeaveThePluginCountingAndTheTableSane) {
    const BadValue& c = GetParam();
    HostRunOptions options;
    options.load = false;
    options.config = c.config;
    const HostRun run = vtest::RunHost(c.script + "\nleave\necho @@frame\nframe\necho @@end\nstatus\n", options);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(vtest::SanitizerReport(run.err), "");
    EXPECT_TRUE(vtest::Escapes(run.err).empty()) << run.err;
    EXPECT_EQ(vtest::LastNumberAfter(run.out, "escaped exceptions: "), 0u);
    EXPECT_EQ(vtest::LastNumberAfter(run.out, "invalid handle uses: "), 0u);

    const vtest::FrameTable table = vtest::ParseFrame(run.out, "@@frame", "@@end");
    ASSERT_EQ(table.error, "") << run.out;
    ASSERT_EQ(table.rows.size(), 4u);
    for (std::size_t r = 0; r < 4; ++r) {
        const vtest::TableRow& row = table.rows[r];
        EXPECT_EQ(WinLoss(row.wins, row.losses), c.counts[r]) << row.name;
        for (const std::string& text : {row.name, row.winLoss, row.change, row.rankColumn}) {
            if (r == 3 && c.totalMayOverflow && text == row.change) {
                EXPECT_THAT(text, ::testing::StartsWith("+inf"));
                continue;
            }
            EXPECT_THAT(Lower(text), Not(HasSubstr("nan"))) << row.name;
            EXPECT_THAT(Lower(text), Not(HasSubstr("inf"))) << row.name;
        }
    }
    for (const std::string& line : c.inFrame) EXPECT_THAT(run.out, HasSubstr("\n" + line + "\n"));
    for (const std::string& text : c.inLog) EXPECT_THAT(run.Log(), HasSubstr(text));
}

// A 2vs2 match won, with the rating moving from 1000 to RATING one second later.
std::string TwosMatch(const std::string& rating) {
    return "mmr 11 1000 rank 10 1\nload\nmatch start 11\nmmr 11 " + rating +
           " after 1\nmatch end win\nwait 6\n";
}
const std::string kOutside = "-----     -----";   // a rank record outside the table
const std::string kWhite = "255 255 255 255";

INSTANTIATE_TEST_SUITE_P(
    Table, BadValues,
    ::testing::Values(
        // Not a rating: the poll keeps waiting, as for an unchanged one, and gives up.
        BadValue{"RatingNaN", TwosMatch("nan"), {{0, 0}, {1, 0}, {0, 0}, {1, 0}}, {"DrawString \" +00.00\" 1.00 1.00 0 0"},
                 {"maxRetries reached the limit (5)"}},
        BadValue{"RatingPlusInfinity", TwosMatch("inf"), {{0, 0}, {1, 0}, {0, 0}, {1, 0}}, {},
                 {"maxRetries reached the limit (5)"}},
        BadValue{"RatingMinusInfinity", TwosMatch("-inf"), {{0, 0}, {1, 0}, {0, 0}, {1, 0}}, {},
                 {"maxRetries reached the limit (5)"}},
        // Not a number at start-up: stored as no rating (0), and the start-up poll waits on.
        BadValue{"RatingNaNAtStartUp", "mmr 10 nan\nmmr 11 inf\nmmr 13 -inf\nload\nwait 3\n", kNoCounts,
                 {"DrawString \"UNR D1     -----\" 1.00 1.00 0 0"}},
        // Negative zero is zero: no change from 0, a change of -1000 from 1000.
        BadValue{"RatingMinusZero", "mmr 10 -0.0\n" + TwosMatch("-0.0"), {{0, 0}, {1, 0}, {0, 0}, {1, 0}},
                 {"DrawString \"-1000.00\" 1.00 1.00 0 0"}, {"initialMMR: 1000.00, count: 1"}},
        BadValue{"RatingHuge", TwosMatch("1e30"), {{0, 0}, {1, 0}, {0, 0}, {1, 0}},
                 {"DrawString \"+1000000015047466219876688855040.00\" 1.00 1.00 0 0"}},
        BadValue{"RatingNegative", TwosMatch("-250"), {{0, 0}, {1, 0}, {0, 0}, {1, 0}},
                 {"DrawString \"-1250.00\" 1.00 1.00 0 0"}},
        // Two finite changes whose sum overflows: only the total may read infinite.
        BadValue{"ChangesOverflowTheTotal",
                 "mmr 10 1\nmmr 11 1\nload\nmatch start 10\nmmr 10 3e38\nmatch end win\nmatch start 11\n"
                 "mmr 11 3e38\nmatch end loss\n",
                 {{1, 0}, {0, 1}, {0, 0}, {1, 1}}, {"DrawString \"+300000000549775575777803994281145270272.00\" 1.00 1.00 0 0"},
                 {}, std::nullopt, true},
        // Rank records outside the table: "-----" in white, nothing read past the table.
        BadValue{"TiersOutOfRange",
                 "mmr 10 1000 rank -1 0\nmmr 11 1000 rank 22 3\nmmr 13 1000 rank 2147483647 2147483647\nload\n",
                 kNoCounts, {"SetColor " + kWhite, "DrawString \"" + kOutside + "\" 1.00 1.00 0 0"}},
        BadValue{"DivisionsOutOfRange",
                 "mmr 10 1000 rank 5 -1\nmmr 11 1000 rank 5 4\nmmr 13 1000 rank -2147483648 -2147483648\nload\n",
                 kNoCounts, {"SetColor " + kWhite, "DrawString \"" + kOutside + "\" 1.00 1.00 0 0"}},
        BadValue{"RankChangesOutOfRangeAfterAMatch",
                 "mmr 13 800 rank 8 0\nload\nmatch start 13\nmmr 13 812 rank 22 -1\nmatch end win\n",
                 {{0, 0}, {0, 0}, {1, 0}, {1, 0}}, {"DrawString \"" + kOutside + "\" 1.00 1.00 0 0"}},
        // Playlist ids at the ends of the int range are "Other": counted, logged, not shown.
        BadValue{"PlaylistIdsAtTheIntLimits",
                 "load\nmmr 2147483647 1500\nmatch start 2147483647\nmatch end win\n"
                 "match start -2147483648\nmatch end loss\nwait 6\n",
                 kNoCounts, {},
                 {"Match ended: ModeIndex: 3, Wins: 1, Losses: 0", "Match ended: ModeIndex: 3, Wins: 1, Losses: 1",
                  "CheckMMRUpdate: mmr: 1500.00, initialMMR: 0.00, count: 0"}},
        // Saved values that do not parse or are not finite are refused: the defaults stay.
        BadValue{"SavedValuesThatDoNotParse", "load\n", kNoCounts, {"SetPosition 5 345"}, {},
                 "vantrel_enabled \"inf\"\nvantrel_pos_x \"abc\"\nvantrel_pos_y \"nan\"\n"},
        // Out of range: clamped at a limit, or (no maximum) carried to the canvas, where
        // positions saturate at the int range instead of overflowing.
        BadValue{"PositionsBeyondTheIntRange", "load\nset vantrel_pos_x 1e30\nset vantrel_pos_y 3.4e38\n",
                 kNoCounts, {"SetColor 0 0 0 175\nSetPosition 2147483647 2147483647\nFillBox 290 110",
                             "DrawLine 2147483647 2147483647 2147483647 2147483647"}},
        BadValue{"PositionsNearTheIntLimit", "load\nset vantrel_pos_x 2147483520\nset vantrel_pos_y -1e30\n",
                 kNoCounts, {"SetPosition 2147483520 -5\nFillBox 290 110", "DrawLine 2147483520 0 2147483647 0"}},
        BadValue{"EnableBeyondItsLimits", "load\nset vantrel_enabled 7\nget vantrel_enabled\n", kNoCounts,
                 {"vantrel_enabled = \"1\"", "FillBox 290 110"}}),
    [](const ::testing::TestParamInfo<BadValue>& row) { return row.param.name; });

}  // namespace
