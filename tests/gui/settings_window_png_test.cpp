// The settings window pictured as a PNG through the off-screen renderer.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "png.h"
#include "probe_panel.h"
#include "temp_dir.h"

namespace vhost::test {
namespace {

namespace fs = std::filesystem;

// The share of the pixels in [min, max) brighter than mid-grey.
double BrightShare(const vtest::Png& png, ImVec2 min, ImVec2 max) {
    return png.BrightShare(static_cast<int>(min.x), static_cast<int>(min.y), static_cast<int>(max.x),
                           static_cast<int>(max.y));
}

class SettingsWindowPngTest : public ::testing::Test {
protected:
    std::string PathOf(const std::string& name) const { return (temp_.path() / name).string(); }

    const vtest::TempDir temp_{"vantrel-gui"};
};

TEST_F(SettingsWindowPngTest, WritesUprightPictureOfWindowSize) {
    SettingsWindow window(400, 240);
    ProbePanel probe;
    window.Open("Probe");
    window.Frame({probe.Tab()});
    std::string error;
    ASSERT_TRUE(window.WritePng(PathOf("settings.png"), error)) << error;

    const vtest::Png png(PathOf("settings.png"));
    ASSERT_TRUE(png.ok());
    EXPECT_EQ(png.width(), 400);
    EXPECT_EQ(png.height(), 240);
    EXPECT_GT(png.DistinctColours(), 8u) << "window, title, tabs, widgets and text";
    // The focused title bar is blue and at the top; the window's body below is a dark grey.
    const vtest::Rgba title = png.At(200, 5);
    EXPECT_GT(title.b, title.r + 30) << title.r << "," << title.g << "," << title.b;
    const vtest::Rgba body = png.At(200, 235);
    EXPECT_LT(std::abs(body.b - body.r), 10);
    EXPECT_LT(body.r, 60);
    // Light text on the dark body: glyphs cover a fraction of their line, not all of it
    // (which would mean the font texture was missing and glyphs came out as blocks).
    const double ink = BrightShare(png, probe.text.min, probe.text.max);
    EXPECT_GT(ink, 0.05);
    EXPECT_LT(ink, 0.33);
}

TEST_F(SettingsWindowPngTest, PicturesBeforeAnyFrameAndAgainAfterMoreFrames) {
    SettingsWindow window(320, 200);
    std::string error;
    ASSERT_TRUE(window.WritePng(PathOf("empty.png"), error)) << error;
    EXPECT_GT(vtest::Png(PathOf("empty.png")).DistinctColours(), 1u);

    ProbePanel probe;
    for (int i = 0; i < 3; ++i) window.Frame({probe.Tab()});
    ASSERT_TRUE(window.WritePng(PathOf("probe.png"), error)) << error;
    ASSERT_TRUE(window.WritePng(PathOf("again.png"), error)) << error;
    const vtest::Png first(PathOf("probe.png"));
    const vtest::Png second(PathOf("again.png"));
    ASSERT_TRUE(first.ok());
    EXPECT_GT(first.DistinctColours(), 8u);
    const double ink = BrightShare(first, probe.text.min, probe.text.max);
    EXPECT_GT(ink, 0.05);
    EXPECT_LT(ink, 0.33);
    EXPECT_EQ(first.DistinctColours(), second.DistinctColours());
}

TEST_F(SettingsWindowPngTest, FailsCleanlyForUnwritablePath) {
    SettingsWindow window(320, 200);
    window.Frame({});
    const std::string path = PathOf("no/such/dir/settings.png");
    std::string error;
    EXPECT_FALSE(window.WritePng(path, error));
    EXPECT_NE(error.find(path), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(path));

    error.clear();
    EXPECT_FALSE(window.WritePng("", error));
    EXPECT_FALSE(error.empty());

    // A failed write leaves the window able to picture itself.
    ASSERT_TRUE(window.WritePng(PathOf("ok.png"), error)) << error;
    EXPECT_TRUE(vtest::Png(PathOf("ok.png")).ok());
}

}  // namespace
}  // namespace vhost::test
