// Match results and the rating poll, driven in-process: the plug-in's rules, each asserted
// here. The end-to-end tests (tests/e2e) keep what only the real host can show: its
// commands and timers reaching the module, faults at load, polls outliving an unload.
#include <limits>

#include "plugin_fixture.h"

namespace {

class Tracker : public PluginTest {
protected:
    Vantrel& Start(float rating2v2 = 1000.5f) {
        host.rating = {{10, 900.0f}, {11, rating2v2}, {13, 700.0f}};
        Vantrel& plugin = host.Load();
        host.inGame = true;
        host.online = true;
        return plugin;
    }
    void EndMatch(int playlist, bool win) {
        host.playlistId = playlist;
        host.playerTeam = 1;
        host.winningTeam = win ? 1 : 0;
        host.FireMatchEnded();
    }
    std::vector<std::string> MessagesAfterStart() {
        auto messages = LogMessages();
        messages.erase(messages.begin());  // the start-up poll's line
        return messages;
    }
};

TEST_F(Tracker, WinIsCountedLoggedAndPolled) {
    Vantrel& plugin = Start();
    plugin.wins[1] = 3;
    plugin.losses[1] = 1;
    plugin.deltaMMR[1] = -12.25f;
    EndMatch(11, true);
    EXPECT_EQ(plugin.wins[1], 4);
    EXPECT_TRUE(plugin.scoreboardOpen);
    EXPECT_EQ(host.PendingTimers(), 1u);

    host.RunTimers();
    host.RunTimers();
    host.rating[11] = 1010.0f;  // the server updates between the third and fourth check
    host.RunTimers();
    EXPECT_EQ(host.PendingTimers(), 0u);
    EXPECT_FLOAT_EQ(plugin.deltaMMR[1], -12.25f + 9.5f);
    EXPECT_EQ(plugin.mmr[1], 1010.0f);
    EXPECT_EQ(MessagesAfterStart(), (std::vector<std::string>{
        "OnMatchEnd: wonMatch: 1",
        "Match ended: ModeIndex: 1, Wins: 4, Losses: 1, Starting MMR: 1000.50, Delta MMR: -12.25",
        "CheckMMRUpdate: mmr: 1010.00, initialMMR: 1000.50, count: 3",
    }));
}

TEST_F(Tracker, RatingThatNeverMovesGivesSixReadingsThenTheLimit) {
    Start();
    EndMatch(13, false);
    host.ops.clear();
    for (int i = 0; i < 10; ++i) host.RunTimers();
    EXPECT_EQ(std::count(host.ops.begin(), host.ops.end(), "GetPlayerMMR 13"), 5);  // plus the first, at once
    EXPECT_EQ(MessagesAfterStart().back(), "Check MMR Update: maxRetries reached the limit (5)");
}

TEST_F(Tracker, TwoChangesInOneModeAddUp) {
    Vantrel& plugin = Start();
    host.rating[11] = 990.5f;
    EndMatch(11, false);
    host.rating[11] = 1016.0f;
    EndMatch(11, true);
    EXPECT_FLOAT_EQ(plugin.deltaMMR[1], 15.5f);
    EXPECT_EQ(plugin.mmr[1], 1016.0f);
}

TEST_F(Tracker, NullHandlesEndTheMatchUncounted) {
    Vantrel& plugin = Start();
    host.invalid = {vtest::FakeHost::kWinningTeam};
    EndMatch(11, true);
    host.invalid = {vtest::FakeHost::kController};
    EndMatch(11, true);
    host.invalid = {};
    host.FireMatchEnded(0);
    EXPECT_EQ(plugin.wins[1] + plugin.losses[1], 0);
    EXPECT_FALSE(plugin.scoreboardOpen);
    auto game = std::move(plugin.gameWrapper);
    plugin.onMatchEnd(ServerWrapper(vtest::FakeHost::kServer));
    plugin.gameWrapper = std::move(game);
    EXPECT_EQ(MessagesAfterStart(), (std::vector<std::string>{
        "OnMatchEnd: TeamWrapper is null",
        "OnMatchEnd: PlayerControllerWrapper is null",
        "OnMatchEnd: Server is null",
        "OnMatchEnd: gameWrapper is null",
    }));
}

TEST_F(Tracker, DisabledMatchIsDecidedButNotCounted) {
    Vantrel& plugin = Start();
    host.SetCvar("vantrel_enabled", "0");
    EndMatch(10, true);
    EXPECT_EQ(plugin.wins[0], 0);
    EXPECT_TRUE(plugin.scoreboardOpen);
    EXPECT_EQ(host.PendingTimers(), 0u);
    EXPECT_EQ(MessagesAfterStart(), std::vector<std::string>{"OnMatchEnd: wonMatch: 1"});
}

TEST_F(Tracker, ExceptionsAreLoggedWhereTheyAreCaught) {
    Vantrel& plugin = Start();
    host.throwIn = "GetPlaylistId";
    EndMatch(11, true);
    host.throwIn = "GetPlayerMMR";  // inside the first check: trackMMR's guard, after counting
    EndMatch(11, false);
    EXPECT_EQ(plugin.losses[1], 1);
    host.rating[11] = 1000.5f;
    EndMatch(11, true);
    host.throwIn = "SetTimeout";
    host.RunTimers();  // the retry's own check fails: caught by the retry
    EXPECT_EQ(MessagesAfterStart(), (std::vector<std::string>{
        "OnMatchEnd: wonMatch: 1",
        "Exception in trackMMR: injected fault in GetPlaylistId",
        "OnMatchEnd: wonMatch: 0",
        "Match ended: ModeIndex: 1, Wins: 0, Losses: 1, Starting MMR: 1000.50, Delta MMR: +00.00",
        "Exception in trackMMR: injected fault in GetPlayerMMR",
        "OnMatchEnd: wonMatch: 1",
        "Match ended: ModeIndex: 1, Wins: 1, Losses: 1, Starting MMR: 1000.50, Delta MMR: +00.00",
        "Exception in CheckMMRUpdate: injected fault in SetTimeout",
    }));
}

TEST_F(Tracker, NonFiniteReadingsAreNotRatings) {
    Vantrel& plugin = Start();
    host.rating[11] = std::numeric_limits<float>::quiet_NaN();
    EndMatch(11, true);
    host.rating[11] = std::numeric_limits<float>::infinity();
    host.RunTimers();
    host.rating[11] = 1020.5f;
    host.RunTimers();
    EXPECT_FLOAT_EQ(plugin.deltaMMR[1], 20.0f);
    host.rating[11] = -std::numeric_limits<float>::infinity();
    EndMatch(11, true);
    for (int i = 0; i < 6; ++i) host.RunTimers();
    EXPECT_FLOAT_EQ(plugin.deltaMMR[1], 20.0f);
    EXPECT_EQ(plugin.mmr[1], 1020.5f);
    EXPECT_EQ(MessagesAfterStart(), (std::vector<std::string>{
        "OnMatchEnd: wonMatch: 1",
        "Match ended: ModeIndex: 1, Wins: 1, Losses: 0, Starting MMR: 1000.50, Delta MMR: +00.00",
        "CheckMMRUpdate: mmr: 1020.50, initialMMR: 1000.50, count: 2",
        "OnMatchEnd: wonMatch: 1",
        "Match ended: ModeIndex: 1, Wins: 2, Losses: 0, Starting MMR: 1020.50, Delta MMR: +20.00",
        "Check MMR Update: maxRetries reached the limit (5)",
    }));
}

TEST_F(Tracker, FirstReadingFromNoRatingIsRecordedNotAdded) {
    host.rating = {};  // 1vs1 unknown at start-up
    Vantrel& plugin = host.Load();
    EXPECT_EQ(host.PendingTimers(), 1u);
    host.RunTimers();
    host.rating[10] = 1234.0f;
    host.RunTimers();
    EXPECT_EQ(plugin.mmr[0], 1234.0f);
    EXPECT_EQ(plugin.deltaMMR[0], 0.0f);

    host.rating[12] = 640.0f;  // first "Other" match: mode 3 had no rating
    EndMatch(12, true);
    EXPECT_EQ(plugin.mmr[3], 640.0f);
    EXPECT_EQ(plugin.deltaMMR[3], 0.0f);
    EXPECT_EQ(plugin.wins[3], 1);
    EXPECT_EQ(LogMessages().back(), "CheckMMRUpdate: mmr: 640.00, initialMMR: 0.00, count: 0");
}

TEST_F(Tracker, RetryAfterTheObjectIsGoneDoesNothing) {
    Start();
    EndMatch(11, true);
    ASSERT_EQ(host.PendingTimers(), 1u);
    host.Unload();
    host.ops.clear();
    host.RunTimers();
    EXPECT_TRUE(host.ops.empty());
}

}  // namespace
