// The overlay played through vantrel-host: the host's events reach the table, and the
// picture a `snapshot` takes.
#include <cmath>
#include <cstdlib>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "png.h"
#include "run_host.h"
#include "text.h"

namespace {

using ::testing::HasSubstr;
using vtest::HostRun;
using vtest::RunHost;

// When the table shows is the plug-in's rule, asserted call for call on the fake host
// (tests/plugin/overlay_test.cpp); here only that the real host's events reach it.
TEST(OverlaySession, TheHostsMatchAndScoreboardEventsReachTheTable) {
    const HostRun run = RunHost(R"(
frame
match start 11
frame
scoreboard open
frame
scoreboard close
match end win
frame
)");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::vector<bool> drawn;
    for (const std::string& line : run.OutLines()) {
        if (line == "(nothing drawn)") drawn.push_back(false);
        if (line.rfind("FillBox", 0) == 0) drawn.push_back(true);
    }
    EXPECT_EQ(drawn, (std::vector<bool>{true, false, true, true}));
}

using vtest::Png;
using Rgb = vtest::Rgba;

int Distance(Rgb a, Rgb b) { return std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b); }

TEST(OverlaySession, SnapshotShowsTheBoxAndRowsInTheirRankColours) {
    const HostRun run = RunHost(R"(
mmr 10 1190 rank 19 1
mmr 11 850 rank 13 1
unload
load
set vantrel_pos_x 100
set vantrel_pos_y 50
set vantrel_enabled 0
snapshot background.png
set vantrel_enabled 1
snapshot table.png
)");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const Png background(run.workdir / "background.png");
    const Png table(run.workdir / "table.png");
    ASSERT_TRUE(table.ok()) << table.error();
    ASSERT_TRUE(background.ok()) << background.error();
    EXPECT_EQ(table.width(), 1920);
    EXPECT_EQ(table.height(), 1080);

    // The box covers (95, 45) to (384, 154) in black at alpha 175; just outside stays as it was.
    auto darkened = [&](int x, int y) {
        const Rgb under = background.At(x, y);
        const double keep = 1.0 - 175.0 / 255.0;
        return Rgb{static_cast<int>(std::lround(under.r * keep)), static_cast<int>(std::lround(under.g * keep)),
                   static_cast<int>(std::lround(under.b * keep)), 255};
    };
    for (auto [x, y] : {std::pair{95, 45}, {384, 45}, {95, 154}, {384, 154}}) {
        EXPECT_LE(Distance(table.At(x, y), darkened(x, y)), 3) << x << "," << y;
    }
    for (auto [x, y] : {std::pair{94, 45}, {95, 44}, {385, 154}, {384, 155}}) {
        EXPECT_LE(Distance(table.At(x, y), background.At(x, y)), 1) << x << "," << y;
    }

    // Each row's text is drawn in its colour: find a pixel of that colour in the row's cells.
    auto rowHasColour = [&](int top, Rgb colour) {
        int best = 1000;
        for (int y = top + 1; y < top + 19; ++y)
            for (int x = 102; x < 380; ++x) best = std::min(best, Distance(table.At(x, y), colour));
        return best;
    };
    EXPECT_LE(rowHasColour(70, {255, 50, 50}), 30);    // 1vs1: GC1
    EXPECT_LE(rowHasColour(90, {2, 188, 255}), 30);    // 2vs2: D1
    EXPECT_LE(rowHasColour(110, {255, 255, 255}), 30); // 3vs3: unranked
    EXPECT_LE(rowHasColour(130, {0, 200, 0}), 30);     // total
    EXPECT_GT(rowHasColour(70, {0, 200, 0}), 60);      // and not another row's colour
}

}  // namespace
