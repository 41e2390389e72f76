// The overlay played through vantrel-host: the frame trace, when the table shows during a
// game, and the picture a `snapshot` takes.
#include <cairo.h>

#include <cmath>
#include <cstring>
#include <cstdlib>
#include <memory>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "run_host.h"
#include "text.h"

namespace {

using ::testing::HasSubstr;
using vtest::HostRun;
using vtest::RunHost;

TEST(OverlaySession, FreshPluginFrameIsTheWholeTable) {
    const HostRun run = RunHost("frame\n");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.OutLines(), vtest::ReadLines(VANTREL_TEST_DATA "/fresh_frame.trace"));
}

TEST(OverlaySession, TableShowsInMenusAndInGamesWhileTheScoreboardIsUp) {
    const HostRun run = RunHost(R"(
frame
match start 11
frame
scoreboard open
frame
scoreboard close
frame
match end win
frame
match start 13 offline
frame
scoreboard open
frame
leave
frame
scoreboard close
frame
set vantrel_enabled 0
frame
match start 10
scoreboard open
frame
)");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::vector<bool> drawn;
    for (const std::string& line : run.OutLines()) {
        if (line == "(nothing drawn)") drawn.push_back(false);
        if (line.rfind("FillBox", 0) == 0) drawn.push_back(true);
    }
    EXPECT_EQ(drawn, (std::vector<bool>{true, false, true, false, true, false, true, true, true, false, false}));
}

using Surface = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;

Surface ReadPng(const std::filesystem::path& path) {
    return Surface(cairo_image_surface_create_from_png(path.c_str()), &cairo_surface_destroy);
}

struct Rgb {
    int r, g, b;
};

Rgb PixelAt(cairo_surface_t* surface, int x, int y) {
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    std::uint32_t argb;
    std::memcpy(&argb, data + y * stride + x * 4, 4);  // opaque: no premultiplication to undo
    return {static_cast<int>((argb >> 16) & 0xff), static_cast<int>((argb >> 8) & 0xff), static_cast<int>(argb & 0xff)};
}

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
    const Surface background = ReadPng(run.workdir / "background.png");
    const Surface table = ReadPng(run.workdir / "table.png");
    ASSERT_EQ(cairo_surface_status(table.get()), CAIRO_STATUS_SUCCESS);
    ASSERT_EQ(cairo_surface_status(background.get()), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_image_surface_get_width(table.get()), 1920);
    EXPECT_EQ(cairo_image_surface_get_height(table.get()), 1080);

    // The box covers (95, 45) to (384, 154) in black at alpha 175; just outside stays as it was.
    auto darkened = [&](int x, int y) {
        const Rgb under = PixelAt(background.get(), x, y);
        const double keep = 1.0 - 175.0 / 255.0;
        return Rgb{static_cast<int>(std::lround(under.r * keep)), static_cast<int>(std::lround(under.g * keep)),
                   static_cast<int>(std::lround(under.b * keep))};
    };
    for (auto [x, y] : {std::pair{95, 45}, {384, 45}, {95, 154}, {384, 154}}) {
        EXPECT_LE(Distance(PixelAt(table.get(), x, y), darkened(x, y)), 3) << x << "," << y;
    }
    for (auto [x, y] : {std::pair{94, 45}, {95, 44}, {385, 154}, {384, 155}}) {
        EXPECT_LE(Distance(PixelAt(table.get(), x, y), PixelAt(background.get(), x, y)), 1) << x << "," << y;
    }

    // Each row's text is drawn in its colour: find a pixel of that colour in the row's cells.
    auto rowHasColour = [&](int top, Rgb colour) {
        int best = 1000;
        for (int y = top + 1; y < top + 19; ++y)
            for (int x = 102; x < 380; ++x) best = std::min(best, Distance(PixelAt(table.get(), x, y), colour));
        return best;
    };
    EXPECT_LE(rowHasColour(70, {255, 50, 50}), 30);    // 1vs1: GC1
    EXPECT_LE(rowHasColour(90, {2, 188, 255}), 30);    // 2vs2: D1
    EXPECT_LE(rowHasColour(110, {255, 255, 255}), 30); // 3vs3: unranked
    EXPECT_LE(rowHasColour(130, {0, 200, 0}), 30);     // total
    EXPECT_GT(rowHasColour(70, {0, 200, 0}), 60);      // and not another row's colour
}

}  // namespace
