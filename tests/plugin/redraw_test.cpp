// Frames and log lines one after another: each frame must show the statistics as they are
// at that moment, and each line the time it was written (the log reuses the time stamp of
// the second it is in).
#include <chrono>
#include <cmath>
#include <ctime>
#include <functional>
#include <iomanip>
#include <limits>
#include <thread>

#include "Format.h"
#include "plugin_fixture.h"

namespace {

using Redraw = PluginTest;
using LogStamp = PluginTest;

// The texts of the table for the plug-in's statistics, made directly by the formatting
// functions and the rank lookup.
std::vector<std::string> Expected(const Vantrel& plugin) {
    std::vector<std::string> texts = {"         W  L       MMR    Rank  To Rank up"};
    for (std::size_t i = 0; i < 3; ++i) {
        const RankLookup rank = LookupRank(plugin.rankTables[i], plugin.ranks[i], plugin.mmr[i]);
        texts.push_back(plugin.modeLabels[i] + " ");
        texts.push_back(FormatWinLoss(plugin.wins[i], plugin.losses[i]));
        texts.push_back(FormatChange(plugin.deltaMMR[i]));
        texts.push_back(FormatRankColumn(rank.text, rank.toRankUp));
    }
    texts.push_back("Total");
    texts.push_back(FormatWinLoss(plugin.wins[0] + plugin.wins[1] + plugin.wins[2],
                                  plugin.losses[0] + plugin.losses[1] + plugin.losses[2]));
    texts.push_back(FormatChange(plugin.deltaMMR[0] + plugin.deltaMMR[1] + plugin.deltaMMR[2]));
    texts.push_back("-----     -----");
    return texts;
}

TEST_F(Redraw, EveryChangeBetweenFramesShowsInTheNextFrame) {
    host.rating = {{10, 700.0f}, {11, 1176.5f}, {13, 840.0f}};
    host.rank = {{10, {11, 0, 0}}, {11, {16, 3, 0}}, {13, {13, 0, 0}}};
    Vantrel& plugin = host.Load();
    const float nan = std::numeric_limits<float>::quiet_NaN();

    // Each step changes one value, some only in ways a plain comparison would miss.
    const std::vector<std::function<void()>> steps = {
        [&] {},
        [&] { plugin.wins[0] = 1; },
        [&] { plugin.losses[1] = 10; },
        [&] { plugin.deltaMMR[2] = 9.996f; },
        [&] { plugin.deltaMMR[2] = 9.994f; },
        [&] { plugin.deltaMMR[0] = -0.0f; },
        [&] { plugin.deltaMMR[0] = 0.0f; },
        [&] { plugin.deltaMMR[1] = nan; },
        [&] { plugin.deltaMMR[1] = -25.5f; },
        [&] { plugin.mmr[0] = 718.0f; },           // the distance to the next division moves
        [&] { plugin.ranks[1] = {16, 2, 0}; },     // the division moves
        [&] { plugin.ranks[2] = {99, 0, 0}; },     // outside the table
        [&] { plugin.rankTables[0][11].label = "XX"; },
        [&] { plugin.modeLabels[2] = "Trios"; },
        [&] { plugin.wins = {3, 12, 0, 5}; plugin.losses = {12, 3, 1, 5}; },
    };
    for (std::size_t step = 0; step < steps.size(); ++step) {
        steps[step]();
        EXPECT_EQ(vtest::DrawnStrings(host.DrawFrame()), Expected(plugin)) << "after step " << step;
        EXPECT_EQ(vtest::DrawnStrings(host.DrawFrame()), Expected(plugin)) << "again after step " << step;
    }
}

TEST_F(Redraw, MoreDistinctRowsThanATableHoldsStayRight) {
    Vantrel& plugin = host.Load();
    // Five row states drawn in turn, so the texts of every row keep being replaced.
    for (int frame = 0; frame < 40; ++frame) {
        for (std::size_t i = 0; i < 3; ++i) {
            plugin.wins[i] = (frame + static_cast<int>(i)) % 5;
            plugin.deltaMMR[i] = static_cast<float>((frame * 7 + static_cast<int>(i) * 3) % 5) * 12.5f - 25.0f;
        }
        EXPECT_EQ(vtest::DrawnStrings(host.DrawFrame()), Expected(plugin)) << "frame " << frame;
    }
}

TEST_F(Redraw, TwoObjectsInTurnEachShowTheirOwnStatistics) {
    Vantrel& first = host.Load();
    first.wins[0] = 7;
    const auto firstFrame = vtest::DrawnStrings(host.DrawFrame());
    EXPECT_EQ(firstFrame, Expected(first));
    host.Unload();

    Vantrel& second = host.Load();
    EXPECT_EQ(second.wins[0], 0);
    EXPECT_EQ(vtest::DrawnStrings(host.DrawFrame()), Expected(second));
    EXPECT_NE(vtest::DrawnStrings(host.DrawFrame()), firstFrame);
}

// The local time of `t` as the log writes it.
std::string StampOf(std::time_t t) {
    std::tm local{};
    localtime_r(&t, &local);
    std::ostringstream text;
    text << std::put_time(&local, "%Y-%m-%d %H:%M:%S");
    return text.str();
}

TEST_F(LogStamp, EachLineCarriesTheSecondItWasWrittenIn) {
    Vantrel& plugin = host.Load();
    std::vector<std::pair<std::time_t, std::time_t>> windows;
    const auto logNow = [&](const std::string& message) {
        const std::time_t before = std::time(nullptr);
        plugin.Log(message);
        windows.emplace_back(before, std::time(nullptr));
    };
    logNow("one");
    logNow("two");  // same second, most likely
    // Into the next second (at most about one second of waiting).
    const std::time_t start = std::time(nullptr);
    while (std::time(nullptr) == start) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    logNow("three");
    logNow("four");

    std::vector<std::string> lines = vtest::ReadLines(dir_ / "VantrelLog.txt");
    ASSERT_GE(lines.size(), 4u);
    lines.erase(lines.begin(), lines.end() - 4);  // start-up lines
    const char* messages[] = {"one", "two", "three", "four"};
    for (std::size_t i = 0; i < 4; ++i) {
        ASSERT_GE(lines[i].size(), 22u);
        EXPECT_EQ(lines[i].substr(19), std::string(" - ") + messages[i]);
        const std::string stamp = lines[i].substr(0, 19);
        EXPECT_TRUE(stamp == StampOf(windows[i].first) || stamp == StampOf(windows[i].second))
            << lines[i] << " written between " << StampOf(windows[i].first) << " and "
            << StampOf(windows[i].second);
    }
    EXPECT_NE(lines[0].substr(0, 19), lines[2].substr(0, 19));
}

TEST_F(LogStamp, ClosedLogDropsLinesAndStaysFailed) {
    Vantrel& plugin = host.Load();
    plugin.logFile.close();
    plugin.Log("dropped");
    EXPECT_TRUE(plugin.logFile.fail());
    plugin.logFile.clear();
    plugin.logFile.open("VantrelLog.txt", std::ios::out | std::ios::app);
    plugin.Log("kept");
    const auto messages = LogMessages();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back(), "kept");
    for (const auto& message : messages) EXPECT_NE(message, "dropped");
}

}  // namespace
