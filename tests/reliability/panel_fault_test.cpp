// The one SDK operation the command language cannot reach: CVarWrapper::setValue, which the
// settings panel calls only when the user changes a widget. Here the panel is driven with
// the mouse in-process (a click on the check box: the integer overload; a press on a
// slider: the float one) with that call throwing. The panel has no guard, so the host must
// catch and count exactly one exception per fault; the variable keeps its value, the next
// frame of the panel works, and the overlay goes on drawing.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <imgui.h>

#include <functional>

#include "gui/settings_window.h"
#include "core/host.h"
#include "host_output.h"
#include "in_process_host.h"
#include "text.h"

namespace {

using vhost::GuiInput;

struct Geometry {
    ImVec2 origin;  // the layout cursor before the panel
    float lineStep = 0.0f;
    float rowStep = 0.0f;
    float rowHeight = 0.0f;
    float itemWidth = 0.0f;
    // Row 0 is the check box, rows 1 and 2 the position sliders, below the title line.
    float RowCentreY(int row) const {
        return origin.y + lineStep + static_cast<float>(row) * rowStep + rowHeight / 2.0f;
    }
};

struct PanelWrite {
    std::string name;
    std::string variable;
    std::function<GuiInput(const Geometry&, bool down)> at;  // where the mouse is
};

void PrintTo(const PanelWrite& write, std::ostream* os) { *os << write.name; }

class PanelWrites : public ::testing::TestWithParam<PanelWrite> {};

TEST_P(PanelWrites, ThatThrowEscapeOnceAndLeaveTheValue) {
    const PanelWrite& c = GetParam();
    vtest::InProcessHost setup(VANTREL_PLUGIN_PATH);
    setup.options.loadPlugin = true;
    ASSERT_TRUE(setup.Start().ok());
    vhost::Host& host = *setup.host;
    Geometry geometry;
    vhost::SettingsFrameOptions measure;
    measure.beforePanel = [&] { geometry.origin = ImGui::GetCursorScreenPos(); };
    measure.afterPanel = [&] {
        geometry.lineStep = ImGui::GetTextLineHeightWithSpacing();
        geometry.rowStep = ImGui::GetFrameHeightWithSpacing();
        geometry.rowHeight = ImGui::GetFrameHeight();
        geometry.itemWidth = ImGui::CalcItemWidth();
    };
    ASSERT_TRUE(host.SettingsFrame({}, measure).ok());
    ASSERT_TRUE(host.SettingsFrame({}, measure).ok());  // laid out: the geometry holds
    const std::string before = host.cvars().Find(c.variable)->value;

    ASSERT_TRUE(setup.Try("fault setValue throw \"panel write fails\"").ok());
    ASSERT_TRUE(host.SettingsFrame(c.at(geometry, true)).ok());
    ASSERT_TRUE(host.SettingsFrame(c.at(geometry, false)).ok());
    EXPECT_EQ(host.calls().Count(vhost::Op::setValue), 1u) << "the widget did not write";
    EXPECT_EQ(host.EscapedExceptions(), 1u) << setup.err.str();
    EXPECT_THAT(setup.err.str(), ::testing::HasSubstr("exception escaped from DrawSettings: panel write fails"));
    EXPECT_EQ(host.cvars().Find(c.variable)->value, before);

    // The panel draws again, and the overlay with it.
    ASSERT_TRUE(host.SettingsFrame({}).ok());
    EXPECT_EQ(host.EscapedExceptions(), 1u) << setup.err.str();
    const std::string frame = setup.Run("frame");
    EXPECT_EQ(vtest::ParseFrameLines(vtest::Lines(frame)).error, "") << frame;
    host.Finish();
}

INSTANTIATE_TEST_SUITE_P(
    Widgets, PanelWrites,
    ::testing::Values(PanelWrite{"CheckBox", "vantrel_enabled",
                                 [](const Geometry& g, bool down) {
                                     return GuiInput{g.origin.x + g.rowHeight / 2.0f, g.RowCentreY(0), down};
                                 }},
                      PanelWrite{"Slider", "vantrel_pos_x",
                                 [](const Geometry& g, bool down) {
                                     return GuiInput{g.origin.x + g.itemWidth * 0.25f, g.RowCentreY(1), down};
                                 }}),
    [](const ::testing::TestParamInfo<PanelWrite>& row) { return row.param.name; });

}  // namespace
