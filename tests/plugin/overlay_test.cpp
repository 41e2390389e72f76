// The on-screen table: every canvas call of a frame, when it is drawn, and where.
#include <algorithm>
#include <limits>

#include "plugin_fixture.h"

namespace {

using Overlay = PluginTest;

TEST_F(Overlay, FreshObjectDrawsTheWholeTable) {
    host.Load();
    const auto expected = vtest::ReadLines(VANTREL_TEST_DATA "/fresh_frame.trace");
    ASSERT_EQ(expected.size(), 59u);
    EXPECT_EQ(host.DrawFrame(), expected);
}

TEST_F(Overlay, VisibleInMenusAndInGamesOnlyWithTheScoreboardUp) {
    host.Load();
    auto drawn = [&] { return !host.DrawFrame().empty(); };

    EXPECT_TRUE(drawn());  // menus
    host.inGame = true;
    host.online = true;
    host.playlistId = 11;
    host.FireMatchStarted();
    EXPECT_FALSE(drawn());
    host.FireScoreboard(true);
    EXPECT_TRUE(drawn());
    host.FireScoreboard(false);
    EXPECT_FALSE(drawn());
    host.FireMatchEnded();  // the table stays up after a match
    EXPECT_TRUE(drawn());
    host.FireScoreboard(false);
    EXPECT_FALSE(drawn());
    host.FireMatchEnded();
    host.FireMatchStarted();
    EXPECT_FALSE(drawn());

    host.online = false;  // offline game: the same rules
    EXPECT_FALSE(drawn());
    host.FireScoreboard(true);
    EXPECT_TRUE(drawn());

    host.inGame = false;  // menus: whatever the scoreboard flag holds
    host.FireScoreboard(false);
    EXPECT_TRUE(drawn());

    host.SetCvar("vantrel_enabled", "0");
    EXPECT_FALSE(drawn());
    host.inGame = true;
    host.FireScoreboard(true);
    EXPECT_FALSE(drawn());
}

TEST_F(Overlay, PositionFollowsTheConsoleVariables) {
    host.Load();
    host.SetCvar("vantrel_pos_x", "100");
    host.SetCvar("vantrel_pos_y", "50");
    const auto calls = host.DrawFrame();
    ASSERT_EQ(calls.size(), 59u);
    EXPECT_EQ(calls[1], "SetPosition 95 45");
    EXPECT_EQ(calls[2], "FillBox 290 110");
    EXPECT_EQ(calls[20], "SetPosition 100.00 52.00");
    EXPECT_EQ(calls[23], "SetPosition 102.00 72.00");
    EXPECT_EQ(calls[32], "SetPosition 102.00 92.00");
    EXPECT_EQ(calls[41], "SetPosition 102.00 112.00");
    EXPECT_EQ(calls[50], "SetPosition 102.00 132.00");
    EXPECT_EQ(calls[26], "SetPosition 141 72");
    EXPECT_EQ(calls[28], "SetPosition 188 72");
    EXPECT_EQ(calls[30], "SetPosition 255 72");
}

TEST_F(Overlay, PositionsTruncateTowardZero) {
    Vantrel& plugin = host.Load();
    *plugin.posX = -7.5f;
    *plugin.posY = -0.5f;
    const auto calls = host.DrawFrame();
    EXPECT_EQ(calls[1], "SetPosition -12 -5");
    EXPECT_EQ(calls[4], "DrawLine -7 0 272 0");
    EXPECT_EQ(calls[23], "SetPosition -5.50 21.50");
    EXPECT_EQ(calls[26], "SetPosition 34 21");  // GetPosition gave -5: 39 added
}

TEST_F(Overlay, PositionsBeyondTheIntRangeSaturate) {
    Vantrel& plugin = host.Load();
    *plugin.posX = 3e38f;
    *plugin.posY = std::numeric_limits<float>::quiet_NaN();
    const auto calls = host.DrawFrame();
    ASSERT_EQ(calls.size(), 59u);
    EXPECT_EQ(calls[1], "SetPosition 2147483647 0");
    EXPECT_EQ(calls[26].substr(0, 22), "SetPosition 2147483647");
}

TEST_F(Overlay, RowsShowCountsChangesRanksAndATotalOfRankedModes) {
    host.rating = {{10, 150.0f}, {11, 850.0f}, {13, 1800.0f}};
    host.rank = {{10, {1, 3, 0}}, {11, {13, 1, 0}}, {13, {21, 2, 0}}};
    Vantrel& plugin = host.Load();
    plugin.wins = {3, 12, 0, 5};
    plugin.losses = {12, 3, 1, 5};
    plugin.deltaMMR = {-25.5f, 123.456f, 9.996f, 40.0f};

    const auto strings = vtest::DrawnStrings(host.DrawFrame());
    const std::vector<std::string> expected = {
        "         W  L       MMR    Rank  To Rank up",
        "1vs1 ", " 3  12", " -25.50", "B1 D4     05.00",
        "2vs2 ", "12   3", "+123.46", "D1 D2     18.00",
        "3vs3 ", " 0   1", " +010.00", "GC3 D3     32.00",
        "Total", "15  16", "+107.95", "-----     -----",
    };
    EXPECT_EQ(strings, expected);
}

TEST_F(Overlay, RowColourIsTheRankColour) {
    host.rank = {{10, {19, 0, 0}}, {11, {4, 0, 0}}, {13, {99, 0, 0}}};
    host.Load();
    const auto calls = host.DrawFrame();
    EXPECT_EQ(calls[22 + 2], "SetColor 255 50 50 255");
    EXPECT_EQ(calls[22 + 11], "SetColor 190 190 190 255");
    EXPECT_EQ(calls[22 + 20], "SetColor 255 255 255 255");  // tier 99: outside the table
    EXPECT_EQ(vtest::DrawnStrings(calls)[12], "-----     -----");
}

}  // namespace
