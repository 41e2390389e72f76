// Text of the overlay's cells and the log's numbers, and coordinate conversion.
#include <climits>
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "Format.h"

namespace {

TEST(ChangeText, RangesAreChosenBeforeRounding) {
    const std::pair<float, const char*> cases[] = {
        {0.0f, " +00.00"},     {-0.0f, " +00.00"},    {5.5f, " +05.50"},     {9.996f, " +010.00"},
        {10.0f, " +10.00"},    {99.99f, " +99.99"},   {100.0f, "+100.00"},   {123.456f, "+123.46"},
        {-0.004f, " -00.00"},  {-3.1f, " -03.10"},    {-9.999f, " -010.00"}, {-10.0f, " -10.00"},
        {-25.5f, " -25.50"},   {-99.99f, " -99.99"},  {-100.0f, "-100.00"},  {-250.25f, "-250.25"},
        {1234.5f, "+1234.50"},
    };
    for (auto [value, text] : cases) EXPECT_EQ(FormatChange(value), text) << value;
    EXPECT_FALSE(FormatChange(std::numeric_limits<float>::quiet_NaN()).empty());
}

TEST(WinLossText, BlankBeforeSingleDigits) {
    EXPECT_EQ(FormatWinLoss(0, 0), " 0   0");
    EXPECT_EQ(FormatWinLoss(3, 12), " 3  12");
    EXPECT_EQ(FormatWinLoss(12, 3), "12   3");
    EXPECT_EQ(FormatWinLoss(9, 10), " 9  10");
    EXPECT_EQ(FormatWinLoss(-1, 100), " -1  100");
}

TEST(RankColumnText, DashesOnlyForAnExactZero) {
    EXPECT_EQ(FormatRankColumn("UNR D1", 0.0f), "UNR D1     -----");
    EXPECT_EQ(FormatRankColumn("B1 D4", 5.0f), "B1 D4     05.00");
    EXPECT_EQ(FormatRankColumn("D1 D2", 12.25f), "D1 D2     12.25");
    EXPECT_EQ(FormatRankColumn("G1 D1", 123.4f), "G1 D1     123.40");
    EXPECT_EQ(FormatRankColumn("G1 D1", -3.0f), "G1 D1     -3.00");
    EXPECT_EQ(FormatRankColumn("G1 D1", 0.001f), "G1 D1     00.00");
}

TEST(LogNumbers, MatchLineFormatsEveryField) {
    const std::pair<float, const char*> deltas[] = {
        {0.0f, "+00.00"}, {7.5f, "+07.50"},  {-12.25f, "-12.25"}, {-3.1f, "-03.10"},
        {123.4f, "+123.40"}, {9.996f, "+10.00"}, {-100.0f, "-100.00"},
    };
    for (auto [delta, text] : deltas) {
        EXPECT_EQ(MatchEndedMessage(1, 4, 1, 1000.5f, delta),
                  std::string("Match ended: ModeIndex: 1, Wins: 4, Losses: 1, Starting MMR: 1000.50, Delta MMR: ") + text);
    }
    EXPECT_EQ(RatingChangedMessage(1043.567f, -3.1f, 3), "CheckMMRUpdate: mmr: 1043.57, initialMMR: -3.10, count: 3");
}

TEST(Coordinates, TruncateTowardZeroAndSaturate) {
    EXPECT_EQ(TruncateToInt(-12.5f), -12);
    EXPECT_EQ(TruncateToInt(95.9f), 95);
    EXPECT_EQ(TruncateToInt(-0.7f), 0);
    EXPECT_EQ(TruncateToInt(3e9f), INT_MAX);
    EXPECT_EQ(TruncateToInt(-3e9f), INT_MIN);
    EXPECT_EQ(TruncateToInt(2147483648.0f), INT_MAX);
    EXPECT_EQ(TruncateToInt(std::numeric_limits<float>::infinity()), INT_MAX);
    EXPECT_EQ(TruncateToInt(std::numeric_limits<float>::quiet_NaN()), 0);
    EXPECT_EQ(SaturatingAdd(INT_MAX, 153), INT_MAX);
    EXPECT_EQ(SaturatingAdd(INT_MIN, -1), INT_MIN);
    EXPECT_EQ(SaturatingAdd(100, 39), 139);
}

}  // namespace
