// The `frame` trace format, and the counting wrapper that every host canvas goes through.
#include "core/trace_canvas.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>

namespace vhost {
namespace {

using ::testing::ElementsAre;

TEST(TraceCanvas, RecordsEachCallInTheFrameFormat) {
    TraceCanvas canvas;
    canvas.SetColor(0, 200, 0, 255);
    canvas.SetPosition(Vector2{-12, 45});
    canvas.SetPosition(Vector2F{102.0f, 72.125f});
    canvas.FillBox(Vector2{290, 110});
    canvas.DrawLine(Vector2{1, 2}, Vector2{3, -4});
    canvas.DrawString("Total", 1.0f, 0.5f, false, true);
    EXPECT_THAT(canvas.Lines(), ElementsAre("SetColor 0 200 0 255", "SetPosition -12 45", "SetPosition 102.00 72.12",
                                            "FillBox 290 110", "DrawLine 1 2 3 -4",
                                            "DrawString \"Total\" 1.00 0.50 0 1"));
}

TEST(TraceCanvas, GetPositionTruncatesTowardZeroAndIsNotRecorded) {
    TraceCanvas canvas;
    canvas.SetPosition(Vector2F{-7.5f, 9.99f});
    EXPECT_EQ(canvas.GetPosition().X, -7);
    EXPECT_EQ(canvas.GetPosition().Y, 9);
    canvas.SetPosition(Vector2F{std::nanf(""), 1e20f});
    EXPECT_EQ(canvas.GetPosition().X, 0);
    EXPECT_EQ(canvas.GetPosition().Y, std::numeric_limits<int>::max());
    EXPECT_THAT(canvas.Lines(), ElementsAre("SetPosition -7.50 9.99", "SetPosition nan 100000002004087734272.00"));
}

TEST(TraceCanvas, EscapesQuotesBackslashesAndLineBreaksInText) {
    TraceCanvas canvas;
    canvas.DrawString("say \"hi\" \\ back", 1.0f, 1.0f, true, false);
    canvas.DrawString("two\nlines\t\x01", 2.0f, 2.0f, false, false);
    canvas.DrawString("", 1.0f, 1.0f, false, false);
    EXPECT_THAT(canvas.Lines(), ElementsAre("DrawString \"say \\\"hi\\\" \\\\ back\" 1.00 1.00 1 0",
                                            "DrawString \"two\\nlines\\t\\x01\" 2.00 2.00 0 0",
                                            "DrawString \"\" 1.00 1.00 0 0"));
}

TEST(TraceCanvas, ScalesAreRoundedToTwoDecimals) {
    TraceCanvas canvas;
    canvas.DrawString("x", 0.006f, 1.9999f, false, false);
    canvas.DrawString("x", -1.0f, std::numeric_limits<float>::infinity(), false, false);
    EXPECT_THAT(canvas.Lines(), ElementsAre("DrawString \"x\" 0.01 2.00 0 0", "DrawString \"x\" -1.00 inf 0 0"));
}

TEST(CountingCanvas, CountsEveryCallAndThrowsAnArmedFault) {
    DiscardCanvas target;
    CallCounter counter;
    CountingCanvas canvas(target, counter);
    canvas.SetPosition(Vector2F{3.9f, 4.1f});
    EXPECT_EQ(canvas.GetPosition().X, 3);  // the discarding canvas still keeps the pen
    canvas.SetPosition(Vector2{1, 1});
    canvas.DrawString("a", 1, 1, false, false);
    EXPECT_EQ(counter.Count(Op::SetPosition), 2u);
    EXPECT_EQ(counter.Count(Op::GetPosition), 1u);
    EXPECT_EQ(counter.Count(Op::DrawString), 1u);

    counter.Arm(Op::FillBox, "", false);
    EXPECT_THROW(
        {
            try {
                canvas.FillBox(Vector2{1, 1});
            } catch (const std::runtime_error& e) {
                EXPECT_STREQ(e.what(), "injected fault in FillBox");
                throw;
            }
        },
        std::runtime_error);
    EXPECT_NO_THROW(canvas.FillBox(Vector2{1, 1}));  // a one-shot fault is spent
    counter.Arm(Op::DrawLine, "broken", true);
    EXPECT_THROW(canvas.DrawLine({}, {}), std::runtime_error);
    EXPECT_THROW(canvas.DrawLine({}, {}), std::runtime_error);
    counter.ClearFaults();
    EXPECT_NO_THROW(canvas.DrawLine({}, {}));
    EXPECT_EQ(counter.Count(Op::FillBox), 2u);
    EXPECT_EQ(counter.Count(Op::DrawLine), 3u);
}

}  // namespace
}  // namespace vhost
