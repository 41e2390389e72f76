// The window's pieces that need no display: the game screen redrawn only when a frame's
// calls change, and the log followed as it grows.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "window/console_buffer.h"
#include "window/game_screen.h"
#include "window/recording_canvas.h"
#include "temp_dir.h"

namespace vhost {
namespace {

bool Same(Rgba a, Rgba b) { return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a; }

TEST(GameScreenTest, RedrawsOnlyChangedFramesEachFromTheBackgroundWithAFreshPen) {
    GameScreen screen(200, 100);
    const SnapshotCanvas fresh(200, 100);
    RecordingCanvas frame;

    frame.SetColor(255, 0, 0, 255);
    frame.SetPosition(Vector2{10, 10});
    frame.FillBox(Vector2{20, 20});
    EXPECT_TRUE(screen.Show(frame));
    EXPECT_TRUE(Same(screen.Canvas().PixelAt(15, 15), Rgba{255, 0, 0, 255}));
    const PixelBox first = screen.Drawn();  // only this rectangle is uploaded again
    EXPECT_EQ(std::vector<int>({first.x, first.y, first.w, first.h}), std::vector<int>({10, 10, 20, 20}));

    frame.Clear();  // the same calls again: nothing to redraw
    frame.SetColor(255, 0, 0, 255);
    frame.SetPosition(Vector2{10, 10});
    frame.FillBox(Vector2{20, 20});
    EXPECT_FALSE(screen.Show(frame));
    EXPECT_EQ(screen.Redraws(), 1u);

    // Another frame: the old box is gone, and the pen starts white again.
    frame.Clear();
    frame.SetPosition(Vector2F{50.5f, 50.5f});
    frame.FillBox(Vector2{10, 10});
    EXPECT_TRUE(screen.Show(frame));
    EXPECT_TRUE(Same(screen.Canvas().PixelAt(15, 15), fresh.PixelAt(15, 15)));
    EXPECT_TRUE(Same(screen.Canvas().PixelAt(55, 55), Rgba{255, 255, 255, 255}));
    const PixelBox stale = screen.Stale();  // the old box taken off and the new one drawn
    EXPECT_EQ(std::vector<int>({stale.x, stale.y, stale.w, stale.h}), std::vector<int>({10, 10, 50, 50}));

    // The same place given as whole numbers is a different call; a NaN position is the
    // same as itself (a frame that sets one must not count as changed every time).
    frame.Clear();
    frame.SetPosition(Vector2{50, 50});
    frame.FillBox(Vector2{10, 10});
    EXPECT_TRUE(screen.Show(frame));
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (int i = 0; i < 2; ++i) {
        frame.Clear();
        frame.SetPosition(Vector2F{nan, 5.0f});
        frame.DrawString("x", 1.0f, 1.0f, false, false);
        EXPECT_EQ(screen.Show(frame), i == 0);
    }
    EXPECT_EQ(screen.Redraws(), 4u);
}

TEST(FileTailTest, HandsOverWholeNewLinesAndStartsAgainWhenTheFileIsReplaced) {
    const vtest::TempDir dir("vantrel-tail-test");
    const std::filesystem::path path = dir.path() / "tail.txt";
    std::ofstream(path) << "old line\n";
    FileTail tail(path);
    EXPECT_TRUE(tail.Poll().empty());  // what was there before is not new

    std::ofstream(path, std::ios::app) << "first\r\nsecond, half";
    EXPECT_EQ(tail.Poll(), std::vector<std::string>{"first"});
    std::ofstream(path, std::ios::app) << " and its end\n";
    EXPECT_EQ(tail.Poll(), std::vector<std::string>{"second, half and its end"});

    std::ofstream(path) << "new\n";  // shorter: replaced
    EXPECT_EQ(tail.Poll(), std::vector<std::string>{"new"});
    std::filesystem::remove(path);
    EXPECT_TRUE(tail.Poll().empty());
}

}  // namespace
}  // namespace vhost
