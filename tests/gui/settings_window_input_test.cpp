// The settings window driven headless: input reaching a tab's widgets, tab selection, and
// the frame surviving a tab that throws or leaves Dear ImGui scopes open.
#include <gtest/gtest.h>
#include <imgui.h>
#include <imgui_internal.h>

#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "other_copy_panel.h"
#include "probe_panel.h"

namespace vhost::test {
namespace {

class SettingsWindowTest : public ::testing::Test {
protected:
    // Two frames without the mouse: the first lays the window out, the second lets the
    // probe record settled widget positions.
    void SetUp() override {
        Run();
        Run();
    }
    void Run(const GuiInput& input = {}) { window.Frame({probe.Tab()}, input); }

    SettingsWindow window{640, 360};
    ProbePanel probe;
};

TEST_F(SettingsWindowTest, FramesWithoutClicksChangeNothing) {
    Run(MouseAt(probe.checkbox.Centre()));
    Run(MouseAt(probe.slider.Centre()));
    Run(MouseAt({-1.0f, -1.0f}, true));  // button held with no mouse over the window
    Run({std::nanf(""), 10.0f, false});  // an unusable position counts as no mouse
    Run();
    EXPECT_EQ(probe.checkboxClicks, 0);
    EXPECT_EQ(probe.sliderChanges, 0);
    EXPECT_FALSE(probe.checked);
    EXPECT_FLOAT_EQ(probe.value, 500.0f);
}

TEST_F(SettingsWindowTest, ClickTogglesCheckboxOnceOnRelease) {
    const ImVec2 at = probe.checkbox.Centre();
    Run(MouseAt(at, true));
    EXPECT_EQ(probe.checkboxClicks, 0) << "a check box toggles on release";
    Run(MouseAt(at, false));
    EXPECT_EQ(probe.checkboxClicks, 1);
    EXPECT_TRUE(probe.checked);
    Run(MouseAt(at, false));
    Run();
    EXPECT_EQ(probe.checkboxClicks, 1);
}

TEST_F(SettingsWindowTest, DragChangesSliderOnlyWhenMouseMoves) {
    const Rect s = probe.slider;
    const float y = s.Centre().y;
    const float x0 = s.min.x + (s.max.x - s.min.x) * 0.25f;
    Run(MouseAt({x0, y}));
    Run(MouseAt({x0, y}, true));  // the press moves the grab to the mouse
    const float pressed = probe.value;
    EXPECT_LT(pressed, 500.0f);

    struct Step {
        float x;
        bool down;
        bool expectChange;
    };
    const std::vector<Step> steps = {
        {x0, true, false},        {x0 + 40.0f, true, true}, {x0 + 40.0f, true, false},
        {x0 + 80.0f, true, true}, {x0 + 80.0f, true, false}, {x0 + 80.0f, false, false},
        {x0 + 120.0f, false, false},  // moving after the release drags nothing
    };
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const int before = probe.sliderChanges;
        const float valueBefore = probe.value;
        Run(MouseAt({steps[i].x, y}, steps[i].down));
        EXPECT_EQ(probe.sliderChanges - before, steps[i].expectChange ? 1 : 0) << "step " << i;
        if (steps[i].expectChange) {
            EXPECT_GT(probe.value, valueBefore) << "step " << i;
        }
    }
}

TEST_F(SettingsWindowTest, HoveringSliderShowsTooltip) {
    auto tooltipShown = [this] {
        ImGuiContext* previous = ImGui::GetCurrentContext();
        ImGui::SetCurrentContext(reinterpret_cast<ImGuiContext*>(window.Context()));
        ImGuiWindow* tooltip = ImGui::FindWindowByName("##Tooltip_00");
        const bool shown = tooltip != nullptr && tooltip->Active;
        ImGui::SetCurrentContext(previous);
        return shown;
    };
    Run(MouseAt(probe.slider.Centre()));
    EXPECT_TRUE(probe.sliderHovered);
    EXPECT_TRUE(tooltipShown());
    Run(MouseAt(probe.checkbox.Centre()));
    EXPECT_FALSE(probe.sliderHovered);
    EXPECT_FALSE(tooltipShown());
}

TEST(SettingsWindowContext, HostContextIsCurrentOnlyDuringFrames) {
    ImGuiContext* other = ImGui::CreateContext();
    ImGui::SetCurrentContext(other);
    {
        SettingsWindow window;
        EXPECT_EQ(ImGui::GetCurrentContext(), other) << "constructing the window keeps the current context";
        ImGuiContext* seen = nullptr;
        window.Frame({{"T", [&] { seen = ImGui::GetCurrentContext(); }}});
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(seen), window.Context());
        EXPECT_EQ(ImGui::GetCurrentContext(), other);
    }
    EXPECT_EQ(ImGui::GetCurrentContext(), other);
    ImGui::DestroyContext(other);
}

TEST(SettingsWindowContext, TabDrawingThroughItsOwnImGuiCopyTakesInput) {
    SettingsWindow window;
    OtherCopySetContext(window.Context());
    ASSERT_EQ(ImGui::GetCurrentContext(), nullptr) << "the panel library must hold a copy of its own";
    OtherCopyPanel panel{};
    const std::vector<SettingsTab> tabs{{"Other", [&] { OtherCopyDraw(&panel); }}};
    window.Frame(tabs);
    const ImVec2 at{(panel.minX + panel.maxX) / 2.0f, (panel.minY + panel.maxY) / 2.0f};
    window.Frame(tabs, MouseAt(at, true));
    window.Frame(tabs, MouseAt(at, false));
    EXPECT_EQ(panel.clicks, 1);
    EXPECT_TRUE(panel.checked);
    EXPECT_EQ(OtherCopyCurrentContext(), window.Context());
    OtherCopySetContext(0);
}

TEST(SettingsWindowContext, RejectsUnusableSizes) {
    EXPECT_THROW(SettingsWindow(0, 360), std::invalid_argument);
    EXPECT_THROW(SettingsWindow(640, -1), std::invalid_argument);
    EXPECT_THROW(SettingsWindow(100000, 360), std::invalid_argument);
}

// Which tabs drew in one frame.
struct TabLog {
    std::vector<std::string> drawn;
    SettingsTab Tab(const std::string& name) {
        return {name, [this, name] { drawn.push_back(name); }};
    }
    std::vector<std::string> Frame(SettingsWindow& window, const std::vector<std::string>& names) {
        std::vector<SettingsTab> tabs;
        for (const auto& n : names) tabs.push_back(Tab(n));
        drawn.clear();
        window.Frame(tabs);
        return drawn;
    }
};

using Names = std::vector<std::string>;

TEST(SettingsWindowTabs, OnlySelectedTabDrawsFromFirstFrameOn) {
    SettingsWindow window;
    TabLog log;
    EXPECT_EQ(log.Frame(window, {"A", "B"}), Names{"A"});
    EXPECT_EQ(window.SelectedTab(), "A");
    EXPECT_FALSE(window.IsOpen());

    window.Open("B");
    EXPECT_TRUE(window.IsOpen());
    EXPECT_EQ(window.SelectedTab(), "B");
    EXPECT_EQ(log.Frame(window, {"A", "B"}), Names{"B"});
    EXPECT_EQ(log.Frame(window, {"A", "B"}), Names{"B"});

    window.Open("A");
    EXPECT_EQ(log.Frame(window, {"A", "B"}), Names{"A"});

    window.Close();
    EXPECT_FALSE(window.IsOpen());
    EXPECT_EQ(log.Frame(window, {"A", "B"}), Names{"A"}) << "a closed window still draws";
}

TEST(SettingsWindowTabs, OpenWaitsForTabThatIsNotThereYet) {
    SettingsWindow window;
    TabLog log;
    window.Open("Late");
    EXPECT_EQ(log.Frame(window, {}), Names{});
    EXPECT_EQ(log.Frame(window, {"A"}), Names{"A"});
    EXPECT_EQ(window.SelectedTab(), "Late");
    EXPECT_EQ(log.Frame(window, {"A", "Late"}), Names{"Late"});
    EXPECT_EQ(window.SelectedTab(), "Late");
}

TEST(SettingsWindowTabs, ClickOnTabSwitchesTabs) {
    SettingsWindow window;
    ImVec2 tabBPos;
    std::vector<std::string> drawn;
    auto tabs = [&] {
        return std::vector<SettingsTab>{
            {"Alpha", [&] { drawn.push_back("Alpha"); }},
            {"Beta", [&] { drawn.push_back("Beta"); }},
        };
    };
    window.Frame(tabs());
    // The tab's rectangle comes from the tab bar's record of its tabs.
    {
        ImGuiContext* previous = ImGui::GetCurrentContext();
        ImGui::SetCurrentContext(reinterpret_cast<ImGuiContext*>(window.Context()));
        ImGuiContext& g = *ImGui::GetCurrentContext();
        ASSERT_EQ(g.TabBars.GetAliveCount(), 1);
        ImGuiTabBar* bar = g.TabBars.GetByIndex(0);
        ASSERT_EQ(bar->Tabs.Size, 2);
        const ImGuiTabItem& beta = bar->Tabs[1];
        tabBPos = {bar->BarRect.Min.x + beta.Offset + beta.Width / 2.0f, (bar->BarRect.Min.y + bar->BarRect.Max.y) / 2.0f};
        ImGui::SetCurrentContext(previous);
    }
    window.Frame(tabs(), MouseAt(tabBPos, true));
    window.Frame(tabs(), MouseAt(tabBPos, false));
    drawn.clear();
    window.Frame(tabs());
    EXPECT_EQ(drawn, Names{"Beta"});
    EXPECT_EQ(window.SelectedTab(), "Beta");
}

TEST(SettingsWindowTabs, OddTabNamesAreDrawnSafely) {
    SettingsWindow window;
    TabLog log;
    EXPECT_EQ(log.Frame(window, {"", "Same", "Same", "%s%n##x"}), Names{""});
    window.Open("Same");
    EXPECT_EQ(log.Frame(window, {"", "Same", "Same", "%s%n##x"}), Names{"Same"});
    // A tab without a draw function shows an empty page.
    window.Frame({{"Empty", nullptr}});
}

// Tabs that break the frame: the failure reaches the caller and the next frame works.
class SettingsWindowFailureTest : public SettingsWindowTest {
protected:
    void ExpectNextFramesWork() {
        Run();
        Run();
        Run(MouseAt(probe.checkbox.Centre(), true));
        Run(MouseAt(probe.checkbox.Centre(), false));
        EXPECT_TRUE(probe.checked) << "the probe still takes clicks";
        ImGuiContext& g = *reinterpret_cast<ImGuiContext*>(window.Context());
        EXPECT_EQ(g.ColorStack.Size, 0);
        EXPECT_EQ(g.StyleVarStack.Size, 0);
        EXPECT_EQ(g.CurrentTabBarStack.Size, 0);
    }
};

TEST_F(SettingsWindowFailureTest, ExceptionFromTabPropagatesAndFramesGoOn) {
    EXPECT_THROW(window.Frame({{"Probe",
                                [&] {
                                    probe.Draw();
                                    throw std::runtime_error("injected fault in getCvar");
                                }}}),
                 std::runtime_error);
    ExpectNextFramesWork();
}

TEST_F(SettingsWindowFailureTest, ExceptionFromDeepInsideScopesIsRecovered) {
    const auto deep = [] {
        ImGui::PushID("outer");
        ImGui::PushStyleColor(ImGuiCol_Text, IM_COL32(255, 0, 0, 255));
        ImGui::PushStyleVar(ImGuiStyleVar_Alpha, 0.5f);
        ImGui::PushItemWidth(100.0f);
        ImGui::BeginGroup();
        ImGui::BeginDisabled();
        ImGui::TreeNodeEx("node", ImGuiTreeNodeFlags_DefaultOpen);
        ImGui::BeginChild("child", ImVec2(200.0f, 100.0f), true);
        ImGui::BeginTabBar("inner_tabs");
        ImGui::BeginTabItem("inner");
        if (ImGui::BeginTable("table", 2)) ImGui::TableNextColumn();
        ImGui::PushTextWrapPos(50.0f);
        ImGui::SetTooltip("half-way");
        throw std::runtime_error("thrown mid-panel");
    };
    EXPECT_THROW(window.Frame({{"Probe", deep}}), std::runtime_error);
    EXPECT_THROW(window.Frame({{"Probe", deep}}), std::runtime_error);
    ExpectNextFramesWork();
}

TEST_F(SettingsWindowFailureTest, ScopesLeftOpenWithoutThrowingAreReportedAndClosed) {
    try {
        window.Frame({{"Probe", [] {
                           ImGui::PushStyleVar(ImGuiStyleVar_Alpha, 0.5f);
                           ImGui::BeginChild("forgotten");
                       }}});
        FAIL() << "an unbalanced tab must be reported";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("Probe"), std::string::npos) << e.what();
    }
    ExpectNextFramesWork();
}

TEST_F(SettingsWindowFailureTest, FrameInsideFrameIsRefused) {
    EXPECT_THROW(window.Frame({{"Probe", [&] { window.Frame({}); }}}), std::logic_error);
    ExpectNextFramesWork();
}

}  // namespace
}  // namespace vhost::test
