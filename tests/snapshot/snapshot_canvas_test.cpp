#include "snapshot/snapshot_canvas.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "png.h"
#include "temp_dir.h"

namespace {

using vhost::Rgba;
using vhost::SnapshotCanvas;

// The overlay's column header, drawn as one string at the table's left edge.
const std::string kHeader = "         W  L       MMR    Rank  To Rank up";

std::string Describe(Rgba c) {
    return "(" + std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b) + "," +
           std::to_string(c.a) + ")";
}

bool Near(Rgba a, Rgba b, int tolerance) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
           std::abs(a.b - b.b) <= tolerance && std::abs(a.a - b.a) <= tolerance;
}

bool Same(Rgba a, Rgba b) { return Near(a, b, 0); }

// `colour` laid over an opaque `background` with alpha colour.a / 255.
Rgba Blend(Rgba background, Rgba colour) {
    const auto mix = [&](int fg, int bg) {
        return static_cast<unsigned char>(std::lround((fg * colour.a + bg * (255 - colour.a)) / 255.0));
    };
    return Rgba{mix(colour.r, background.r), mix(colour.g, background.g), mix(colour.b, background.b), 255};
}

struct Rect {
    int left = 0, top = 0, right = -1, bottom = -1;  // inclusive; right < left means empty
    bool Empty() const { return right < left || bottom < top; }
    bool Contains(int x, int y) const { return x >= left && x <= right && y >= top && y <= bottom; }
};

// Bounding box of the pixels where `drawn` differs from `fresh` (an untouched canvas).
Rect InkBox(const SnapshotCanvas& drawn, const SnapshotCanvas& fresh) {
    Rect box{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
    for (int y = 0; y < drawn.Height(); ++y) {
        for (int x = 0; x < drawn.Width(); ++x) {
            if (Same(drawn.PixelAt(x, y), fresh.PixelAt(x, y))) continue;
            box.left = std::min(box.left, x);
            box.top = std::min(box.top, y);
            box.right = std::max(box.right, x);
            box.bottom = std::max(box.bottom, y);
        }
    }
    return box.right < box.left ? Rect{} : box;
}

// Checks every pixel of `drawn` against the fresh background: inside `covered` it must be
// `colour` blended over the background (within one step of rounding), elsewhere untouched.
void ExpectCoverage(const SnapshotCanvas& drawn, const SnapshotCanvas& fresh, Rect covered, Rgba colour,
                    const std::string& what) {
    int wrong = 0;
    for (int y = 0; y < drawn.Height() && wrong < 5; ++y) {
        for (int x = 0; x < drawn.Width() && wrong < 5; ++x) {
            const Rgba background = fresh.PixelAt(x, y);
            const Rgba expected = covered.Contains(x, y) ? Blend(background, colour) : background;
            const Rgba actual = drawn.PixelAt(x, y);
            if (!Near(actual, expected, 1)) {
                ++wrong;
                ADD_FAILURE() << what << ": pixel (" << x << "," << y << ") is " << Describe(actual)
                              << ", expected " << Describe(expected);
            }
        }
    }
}

// ---------------------------------------------------------------------------------------
// Filled boxes

TEST(SnapshotCanvasFill, OverlayBackgroundBlendsAtItsCornersOnly) {
    // The overlay's translucent box at posX 100, posY 50, on the full-size screen.
    SnapshotCanvas fresh;
    SnapshotCanvas canvas;
    ASSERT_EQ(canvas.Width(), 1920);
    ASSERT_EQ(canvas.Height(), 1080);
    const Rgba colour{0, 0, 0, 175};
    canvas.SetColor(colour.r, colour.g, colour.b, colour.a);
    canvas.SetPosition(Vector2{95, 45});
    canvas.FillBox(Vector2{290, 110});

    struct Probe {
        int x, y;
        bool inside;
    };
    const Probe probes[] = {
        {95, 45, true},   {384, 45, true},   {95, 154, true},   {384, 154, true},  {200, 100, true},
        {94, 45, false},  {95, 44, false},   {385, 45, false},  {384, 44, false},  {94, 154, false},
        {95, 155, false}, {385, 154, false}, {384, 155, false},
    };
    for (const Probe& p : probes) {
        const Rgba background = fresh.PixelAt(p.x, p.y);
        const Rgba expected = p.inside ? Blend(background, colour) : background;
        const Rgba actual = canvas.PixelAt(p.x, p.y);
        EXPECT_TRUE(Near(actual, expected, 1))
            << "(" << p.x << "," << p.y << ") is " << Describe(actual) << ", expected " << Describe(expected);
    }
    // The blend must actually change a dark background, or the checks above prove little.
    EXPECT_FALSE(Same(canvas.PixelAt(95, 45), fresh.PixelAt(95, 45)));
}

TEST(SnapshotCanvasFill, CoversExactlyTheClippedRectangle) {
    struct Case {
        const char* name;
        Vector2 position;
        Vector2 size;
        Rect covered;
    };
    const Case cases[] = {
        {"inside", {10, 5}, {7, 3}, {10, 5, 16, 7}},
        {"one pixel", {0, 0}, {1, 1}, {0, 0, 0, 0}},
        {"off the top left", {-4, -2}, {6, 5}, {0, 0, 1, 2}},
        {"off the bottom right", {60, 40}, {100, 100}, {60, 40, 63, 47}},
        {"whole screen, reaching far", {-5, -5}, {INT_MAX, INT_MAX}, {0, 0, 63, 47}},
        {"ends just above the screen", {0, INT_MIN}, {10, INT_MAX}, {}},
        {"ends just left of the screen", {INT_MIN, 0}, {INT_MAX, 10}, {}},
        {"starts past the screen", {INT_MAX, INT_MAX}, {INT_MAX, INT_MAX}, {}},
        {"zero width", {5, 5}, {0, 4}, {}},
        {"zero height", {5, 5}, {4, 0}, {}},
        {"negative width", {20, 5}, {-10, 4}, {}},
        {"negative height", {5, 20}, {4, -10}, {}},
        {"most negative size", {30, 30}, {INT_MIN, INT_MIN}, {}},
    };
    const SnapshotCanvas fresh(64, 48);
    const Rgba colour{200, 100, 50, 175};
    for (const Case& c : cases) {
        SnapshotCanvas canvas(64, 48);
        canvas.SetColor(colour.r, colour.g, colour.b, colour.a);
        canvas.SetPosition(c.position);
        canvas.FillBox(c.size);
        ExpectCoverage(canvas, fresh, c.covered, colour, c.name);
    }
}

// ---------------------------------------------------------------------------------------
// Lines

TEST(SnapshotCanvasLine, AxisAlignedLinesCoverExactlyTheirPixels) {
    struct Case {
        const char* name;
        Vector2 start, end;
        Rect covered;
    };
    const Case cases[] = {
        {"horizontal", {10, 20}, {30, 20}, {10, 20, 30, 20}},
        {"horizontal drawn backwards", {30, 20}, {10, 20}, {10, 20, 30, 20}},
        {"vertical", {7, 3}, {7, 40}, {7, 3, 7, 40}},
        {"vertical drawn upwards", {7, 40}, {7, 3}, {7, 3, 7, 40}},
        {"single point", {5, 6}, {5, 6}, {5, 6, 5, 6}},
        {"on the last row and column", {0, 47}, {63, 47}, {0, 47, 63, 47}},
        {"across the whole int range", {INT_MIN, 5}, {INT_MAX, 5}, {0, 5, 63, 5}},
        {"down the whole int range", {9, INT_MAX}, {9, INT_MIN}, {9, 0, 9, 47}},
        {"entirely off-screen", {INT_MIN, INT_MIN}, {INT_MIN, INT_MAX}, {}},
        {"just below the screen", {0, 48}, {63, 48}, {}},
    };
    const SnapshotCanvas fresh(64, 48);
    const Rgba colour{255, 255, 255, 175};  // the overlay's grid colour
    for (const Case& c : cases) {
        SnapshotCanvas canvas(64, 48);
        canvas.SetColor(colour.r, colour.g, colour.b, colour.a);
        canvas.DrawLine(c.start, c.end);
        ExpectCoverage(canvas, fresh, c.covered, colour, c.name);
    }
}

TEST(SnapshotCanvasLine, SlantedLinesReachBothEndsAndStayNearTheSegment) {
    struct Case {
        const char* name;
        Vector2 start, end;
        std::vector<Vector2> inked;
        std::vector<Vector2> clear;
    };
    const Case cases[] = {
        // The small triangle in the overlay's MMR header cell.
        {"triangle side", {95, 14}, {100, 4}, {{95, 14}, {100, 4}, {97, 9}}, {{95, 4}, {100, 14}}},
        {"long diagonal from far away", {INT_MIN, INT_MIN}, {INT_MAX, INT_MAX}, {{0, 0}, {10, 10}, {47, 47}},
         {{10, 30}, {30, 10}}},
        {"diagonal ending on-screen", {-100000, 100040}, {20, 20}, {{20, 20}, {5, 35}}, {{30, 10}, {5, 5}}},
    };
    for (const Case& c : cases) {
        const SnapshotCanvas fresh(128, 48);
        SnapshotCanvas canvas(128, 48);
        canvas.SetColor(255, 255, 255, 255);
        canvas.DrawLine(c.start, c.end);
        for (const Vector2& p : c.inked) {
            EXPECT_FALSE(Same(canvas.PixelAt(p.X, p.Y), fresh.PixelAt(p.X, p.Y)))
                << c.name << ": no ink at (" << p.X << "," << p.Y << ")";
        }
        for (const Vector2& p : c.clear) {
            EXPECT_TRUE(Same(canvas.PixelAt(p.X, p.Y), fresh.PixelAt(p.X, p.Y)))
                << c.name << ": ink at (" << p.X << "," << p.Y << ")";
        }
    }
}

// ---------------------------------------------------------------------------------------
// Text

TEST(SnapshotCanvasText, DrawsInItsColourBelowAndRightOfThePosition) {
    const SnapshotCanvas fresh(200, 60);
    SnapshotCanvas canvas(200, 60);
    const Rgba colour{255, 200, 0, 255};
    canvas.SetColor(colour.r, colour.g, colour.b, colour.a);
    canvas.SetPosition(Vector2F{50.0f, 20.0f});
    canvas.DrawString("MMR 88", 1.0f, 1.0f, false, false);

    const Rect ink = InkBox(canvas, fresh);
    ASSERT_FALSE(ink.Empty()) << "nothing drawn";
    EXPECT_GE(ink.left, 50);
    EXPECT_GE(ink.top, 20);
    EXPECT_LE(ink.right, 50 + 6 * 7);   // six cells of about 6 pixels
    EXPECT_LE(ink.bottom, 20 + 18);     // one line, inside a 20-unit row

    // Anti-aliased glyphs: every inked pixel is the colour laid over the background at some
    // coverage, and the most covered ones are the colour itself.
    int nearColour = 0;
    for (int y = ink.top; y <= ink.bottom; ++y) {
        for (int x = ink.left; x <= ink.right; ++x) {
            const Rgba bg = fresh.PixelAt(x, y);
            const Rgba actual = canvas.PixelAt(x, y);
            const double coverage = (actual.r - bg.r) / double(colour.r - bg.r);
            const Rgba expected{static_cast<unsigned char>(std::lround(bg.r + coverage * (colour.r - bg.r))),
                                static_cast<unsigned char>(std::lround(bg.g + coverage * (colour.g - bg.g))),
                                static_cast<unsigned char>(std::lround(bg.b + coverage * (colour.b - bg.b))), 255};
            EXPECT_TRUE(Near(actual, expected, 3))
                << "(" << x << "," << y << ") is " << Describe(actual) << ", not a blend of the text colour";
            if (Near(actual, colour, 12)) ++nearColour;
        }
    }
    EXPECT_GE(nearColour, 3);
}

TEST(SnapshotCanvasText, HeaderTitlesSitInsideTheirGridColumns) {
    // Each title is drawn alone, with every other character of the header blanked, so its
    // cells are exactly where the whole header puts them.
    struct Case {
        const char* title;
        int leftLine, rightLine;
    };
    const Case cases[] = {
        {"W", 40, 62}, {"L", 62, 85}, {"MMR", 85, 150}, {"Rank", 150, 200}, {"To Rank up", 200, 280},
    };
    const SnapshotCanvas fresh(300, 24);
    for (const Case& c : cases) {
        const std::size_t at = kHeader.find(c.title);
        ASSERT_NE(at, std::string::npos) << c.title;
        std::string alone(kHeader.size(), ' ');
        alone.replace(at, std::string(c.title).size(), c.title);

        SnapshotCanvas canvas(300, 24);
        canvas.SetColor(230, 230, 230, 255);
        canvas.SetPosition(Vector2F{0.0f, 0.0f});
        canvas.DrawString(alone, 1.0f, 1.0f, false, false);
        const Rect ink = InkBox(canvas, fresh);
        ASSERT_FALSE(ink.Empty()) << c.title;
        // Strictly between the two grid lines, which own the pixel columns they are drawn on.
        EXPECT_GT(ink.left, c.leftLine) << c.title;
        EXPECT_LT(ink.right, c.rightLine) << c.title;
    }
}

TEST(SnapshotCanvasText, RowTextStaysBetweenItsRowLines) {
    // A row starts at its top line; the overlay places the text 2 units below it.
    const SnapshotCanvas fresh(120, 60);
    SnapshotCanvas canvas(120, 60);
    canvas.SetColor(255, 255, 255, 255);
    canvas.SetPosition(Vector2F{2.0f, 22.0f});
    canvas.DrawString("\xC3\x89gjp|Q_", 1.0f, 1.0f, false, false);  // accent, descenders, bar
    const Rect ink = InkBox(canvas, fresh);
    ASSERT_FALSE(ink.Empty());
    EXPECT_GT(ink.top, 20);
    EXPECT_LT(ink.bottom, 40);
}

TEST(SnapshotCanvasText, ScalesStretchEachAxis) {
    const auto inkOf = [](float xScale, float yScale) {
        const SnapshotCanvas fresh(300, 80);
        SnapshotCanvas canvas(300, 80);
        canvas.SetColor(255, 255, 255, 255);
        canvas.SetPosition(Vector2{4, 4});
        canvas.DrawString("MMMMMMMM", xScale, yScale, false, false);
        return InkBox(canvas, fresh);
    };
    const Rect base = inkOf(1.0f, 1.0f);
    const Rect wide = inkOf(2.0f, 1.0f);
    const Rect tall = inkOf(1.0f, 2.0f);
    ASSERT_FALSE(base.Empty());
    const double baseWidth = base.right - base.left + 1;
    const double baseHeight = base.bottom - base.top + 1;
    EXPECT_NEAR((wide.right - wide.left + 1) / baseWidth, 2.0, 0.15);
    EXPECT_NEAR((wide.bottom - wide.top + 1) / baseHeight, 1.0, 0.15);
    EXPECT_NEAR((tall.right - tall.left + 1) / baseWidth, 1.0, 0.15);
    EXPECT_NEAR((tall.bottom - tall.top + 1) / baseHeight, 2.0, 0.25);
}

TEST(SnapshotCanvasText, UnusableScalesDrawNothing) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        const char* name;
        float xScale, yScale;
    };
    const Case cases[] = {
        {"zero", 0.0f, 1.0f},     {"negative", 1.0f, -1.0f},  {"NaN", nan, 1.0f},
        {"infinite", 1.0f, inf},  {"negative infinite", -inf, -inf},
        {"beyond any screen", 1.0e6f, 1.0e6f}, {"largest float", std::numeric_limits<float>::max(), 1.0f},
    };
    const SnapshotCanvas fresh(64, 32);
    for (const Case& c : cases) {
        SnapshotCanvas canvas(64, 32);
        canvas.SetColor(255, 255, 255, 255);
        canvas.DrawString("MMR", c.xScale, c.yScale, true, false);
        EXPECT_TRUE(InkBox(canvas, fresh).Empty()) << c.name;
    }
    // A tiny but valid scale must not disturb later drawing.
    SnapshotCanvas canvas(64, 32);
    canvas.SetColor(255, 255, 255, 255);
    canvas.DrawString("MMR", 1.0e-30f, 1.0e-30f, false, false);
    canvas.DrawString("MMR", 1.0f, 1.0f, false, false);
    EXPECT_FALSE(InkBox(canvas, fresh).Empty());
}

TEST(SnapshotCanvasText, DropShadowFallsOnePixelDownRight) {
    const SnapshotCanvas fresh(40, 30);
    SnapshotCanvas plain(40, 30), shadowed(40, 30);
    for (SnapshotCanvas* canvas : {&plain, &shadowed}) {
        canvas->SetColor(255, 255, 255, 255);
        canvas->SetPosition(Vector2{10, 5});
        canvas->DrawString("|", 1.0f, 1.0f, canvas == &shadowed, false);
    }
    const Rect ink = InkBox(plain, fresh);
    ASSERT_FALSE(ink.Empty());
    // The column just right of the bar darkens along its length; nothing up or left of it.
    int darkened = 0;
    for (int y = ink.top + 1; y <= ink.bottom + 1; ++y) {
        const Rgba bg = fresh.PixelAt(ink.right + 1, y);
        const Rgba s = shadowed.PixelAt(ink.right + 1, y);
        if (s.r + s.g + s.b < bg.r + bg.g + bg.b) ++darkened;
    }
    EXPECT_GE(darkened, ink.bottom - ink.top);
    EXPECT_TRUE(Same(shadowed.PixelAt(ink.left - 1, ink.top), fresh.PixelAt(ink.left - 1, ink.top)));
    EXPECT_TRUE(Same(shadowed.PixelAt(ink.left, ink.top - 1), fresh.PixelAt(ink.left, ink.top - 1)));
}

TEST(SnapshotCanvasText, TextAfterMalformedBytesIsStillDrawn) {
    // Cairo gives up on a whole string at the first sequence it cannot decode.
    const std::string prefixes[] = {
        "\xFF",          "\x80",           "\xC3",          "\xED\xA0\x80",  // lone surrogate
        "\xEF\xBF\xBF",  // noncharacter
        std::string("\0", 1),
    };
    const SnapshotCanvas fresh(100, 24);
    for (const std::string& prefix : prefixes) {
        SnapshotCanvas canvas(100, 24);
        canvas.SetColor(255, 255, 255, 255);
        canvas.SetPosition(Vector2{0, 2});
        // Placed after a few blanks so the ink we look for comes from "MMR" alone.
        canvas.DrawString(prefix + "      MMR", 1.0f, 1.0f, false, false);
        const Rect ink = InkBox(canvas, fresh);
        EXPECT_FALSE(ink.Empty()) << "nothing drawn after a malformed prefix of " << prefix.size() << " bytes";
        EXPECT_GE(ink.right, 40);
    }
}

// ---------------------------------------------------------------------------------------
// Positions far off the screen

TEST(SnapshotCanvasExtremes, FarPositionsDrawNothingAndDoNotFail) {
    const float inf = std::numeric_limits<float>::infinity();
    const Vector2 corners[] = {{INT_MIN, INT_MIN}, {INT_MAX, INT_MAX}, {INT_MIN, INT_MAX}, {INT_MAX, INT_MIN}};
    const Vector2F floats[] = {{1.0e30f, 1.0e30f}, {-1.0e30f, 5.0f}, {5.0f, -1.0e30f}, {inf, -inf},
                               {-3.0e9f, 3.0e9f}};
    const SnapshotCanvas fresh(64, 48);
    SnapshotCanvas canvas(64, 48);
    canvas.SetColor(255, 255, 255, 255);
    const auto drawEverything = [&canvas] {
        canvas.FillBox(Vector2{290, 110});
        canvas.DrawString("Total  12  3  +123.45  Champion D4     -----", 1.0f, 1.0f, true, false);
        canvas.DrawString(std::string(5000, 'M'), 3.0f, 3.0f, false, false);
    };
    for (const Vector2& p : corners) {
        canvas.SetPosition(p);
        drawEverything();
        canvas.FillBox(Vector2{p.X < 0 ? INT_MAX : 1, p.Y < 0 ? INT_MAX : 1});  // still ends before the screen
    }
    for (const Vector2F& p : floats) {
        canvas.SetPosition(p);
        drawEverything();
    }
    EXPECT_TRUE(InkBox(canvas, fresh).Empty());
}

TEST(SnapshotCanvasExtremes, NaNPositionDrawsWhereGetPositionSays) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const SnapshotCanvas fresh(64, 48);
    SnapshotCanvas canvas(64, 48);
    canvas.SetColor(255, 255, 255, 255);
    canvas.SetPosition(Vector2F{nan, nan});
    ASSERT_EQ(canvas.GetPosition().X, 0);
    ASSERT_EQ(canvas.GetPosition().Y, 0);
    canvas.DrawString("MMR", 1.0f, 1.0f, true, false);
    const Rect text = InkBox(canvas, fresh);
    ASSERT_FALSE(text.Empty());
    EXPECT_LT(text.right, 24);
    EXPECT_LT(text.bottom, 16);
    canvas.FillBox(Vector2{2, 2});
    EXPECT_TRUE(Same(canvas.PixelAt(0, 0), Rgba{255, 255, 255, 255}));
    EXPECT_TRUE(Same(canvas.PixelAt(1, 1), Rgba{255, 255, 255, 255}));
}

// ---------------------------------------------------------------------------------------
// The canvas itself and its PNG

class SnapshotCanvasPng : public ::testing::Test {
protected:
    const vtest::TempDir temp_{"vantrel-snapshot"};
    const std::filesystem::path dir_ = temp_.path();
};

TEST_F(SnapshotCanvasPng, WrittenFileReadsBackWithTheScreenSizeAndPixels) {
    SnapshotCanvas canvas;
    canvas.SetColor(0, 200, 0, 255);
    canvas.SetPosition(Vector2{100, 50});
    canvas.FillBox(Vector2{10, 10});
    const std::string path = (dir_ / "frame.png").string();
    std::string error = "stale";
    ASSERT_TRUE(canvas.WritePng(path, error)) << error;
    EXPECT_TRUE(error.empty());

    const vtest::Png image(path);
    ASSERT_TRUE(image.ok()) << image.error();
    EXPECT_EQ(image.width(), 1920);
    EXPECT_EQ(image.height(), 1080);
    // Opaque pixels: the premultiplied words read back are the plain colours.
    const auto pixelOf = [&image](int x, int y) {
        const vtest::Rgba p = image.At(x, y);
        return Rgba{static_cast<unsigned char>(p.r), static_cast<unsigned char>(p.g), static_cast<unsigned char>(p.b),
                    static_cast<unsigned char>(p.a)};
    };
    for (const auto& [x, y] : {std::pair{105, 55}, std::pair{0, 0}, std::pair{1919, 1079}, std::pair{960, 700}}) {
        EXPECT_TRUE(Same(pixelOf(x, y), canvas.PixelAt(x, y))) << x << "," << y;
    }
}

TEST_F(SnapshotCanvasPng, FailuresAreReportedAndNamed) {
    const SnapshotCanvas canvas(32, 16);
    struct Case {
        const char* name;
        std::string path;
        std::string mentions;  // a part the message must contain
    };
    std::vector<Case> cases = {
        {"missing directory", (dir_ / "no-such-dir" / "frame.png").string(), (dir_ / "no-such-dir").string()},
        {"a directory", dir_.string(), dir_.string()},
        {"empty name", "", "no file name"},
        {"NUL in the name", (dir_ / "a").string() + std::string("\0b.png", 6), "NUL"},
    };
    if (std::filesystem::exists("/dev/full")) {
        cases.push_back({"device that is always full", "/dev/full", "/dev/full"});
    }
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(canvas.WritePng(c.path, error)) << c.name;
        EXPECT_NE(error.find(c.mentions), std::string::npos) << c.name << ": " << error;
    }
    // The name cut at its NUL byte must not have been written instead.
    EXPECT_FALSE(std::filesystem::exists(dir_ / "a"));
}

}  // namespace
