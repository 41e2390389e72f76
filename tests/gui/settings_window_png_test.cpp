// The settings window pictured as a PNG through the off-screen renderer.
#include <cairo.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <cstdlib>
#include <set>
#include <string>

#include "probe_panel.h"

namespace vhost::test {
namespace {

namespace fs = std::filesystem;

struct Rgb {
    int r, g, b;
};

class Png {
public:
    explicit Png(const std::string& path)
        : surface_(cairo_image_surface_create_from_png(path.c_str()), &cairo_surface_destroy) {}
    bool Ok() const { return cairo_surface_status(surface_.get()) == CAIRO_STATUS_SUCCESS; }
    int Width() const { return cairo_image_surface_get_width(surface_.get()); }
    int Height() const { return cairo_image_surface_get_height(surface_.get()); }
    std::uint32_t Word(int x, int y) const {
        const unsigned char* row =
            cairo_image_surface_get_data(surface_.get()) + y * cairo_image_surface_get_stride(surface_.get());
        return reinterpret_cast<const std::uint32_t*>(row)[x];
    }
    Rgb At(int x, int y) const {
        const std::uint32_t w = Word(x, y);
        return {static_cast<int>((w >> 16) & 0xFF), static_cast<int>((w >> 8) & 0xFF), static_cast<int>(w & 0xFF)};
    }
    // The share of pixels in [min, max) brighter than mid-grey.
    double BrightShare(ImVec2 min, ImVec2 max) const {
        int bright = 0;
        int all = 0;
        for (int y = static_cast<int>(min.y); y < static_cast<int>(max.y); ++y) {
            for (int x = static_cast<int>(min.x); x < static_cast<int>(max.x); ++x, ++all) {
                if (At(x, y).r > 128) ++bright;
            }
        }
        return all == 0 ? 0.0 : static_cast<double>(bright) / all;
    }
    std::size_t DistinctColours() const {
        std::set<std::uint32_t> colours;
        for (int y = 0; y < Height(); ++y)
            for (int x = 0; x < Width(); ++x) colours.insert(Word(x, y));
        return colours.size();
    }

private:
    std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> surface_;
};

class SettingsWindowPngTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("vantrel_gui_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }

    fs::path dir_;
};

TEST_F(SettingsWindowPngTest, WritesUprightPictureOfWindowSize) {
    SettingsWindow window(400, 240);
    ProbePanel probe;
    window.Open("Probe");
    window.Frame({probe.Tab()});
    std::string error;
    ASSERT_TRUE(window.WritePng(PathOf("settings.png"), error)) << error;

    const Png png(PathOf("settings.png"));
    ASSERT_TRUE(png.Ok());
    EXPECT_EQ(png.Width(), 400);
    EXPECT_EQ(png.Height(), 240);
    EXPECT_GT(png.DistinctColours(), 8u) << "window, title, tabs, widgets and text";
    // The focused title bar is blue and at the top; the window's body below is a dark grey.
    const Rgb title = png.At(200, 5);
    EXPECT_GT(title.b, title.r + 30) << title.r << "," << title.g << "," << title.b;
    const Rgb body = png.At(200, 235);
    EXPECT_LT(std::abs(body.b - body.r), 10);
    EXPECT_LT(body.r, 60);
    // Light text on the dark body: glyphs cover a fraction of their line, not all of it
    // (which would mean the font texture was missing and glyphs came out as blocks).
    const double ink = png.BrightShare(probe.text.min, probe.text.max);
    EXPECT_GT(ink, 0.05);
    EXPECT_LT(ink, 0.33);
}

TEST_F(SettingsWindowPngTest, PicturesBeforeAnyFrameAndAgainAfterMoreFrames) {
    SettingsWindow window(320, 200);
    std::string error;
    ASSERT_TRUE(window.WritePng(PathOf("empty.png"), error)) << error;
    EXPECT_GT(Png(PathOf("empty.png")).DistinctColours(), 1u);

    ProbePanel probe;
    for (int i = 0; i < 3; ++i) window.Frame({probe.Tab()});
    ASSERT_TRUE(window.WritePng(PathOf("probe.png"), error)) << error;
    ASSERT_TRUE(window.WritePng(PathOf("again.png"), error)) << error;
    const Png first(PathOf("probe.png"));
    const Png second(PathOf("again.png"));
    ASSERT_TRUE(first.Ok());
    EXPECT_GT(first.DistinctColours(), 8u);
    const double ink = first.BrightShare(probe.text.min, probe.text.max);
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
    EXPECT_TRUE(Png(PathOf("ok.png")).Ok());
}

}  // namespace
}  // namespace vhost::test
