// The plug-in's settings panel, driven through the real host and the real module with the
// mouse, frame by frame, as a user would.
//
// What the panel drew is read from the host's copy of Dear ImGui, inside the frame, around
// the plug-in's DrawSettings (the context is shared, so the host sees the plug-in's items):
// - text: Dear ImGui's own text log ("log to clipboard", with the clipboard handler ours),
//   started just before the panel draws. Every text a widget renders goes into it, whichever
//   copy of Dear ImGui renders it: the title, a check box as "[x] LABEL", a slider's value
//   as "{ VALUE }" and a tooltip's text. It is what a user reads, without picking pixels.
//   Dear ImGui ends a log when a top-level window ends, so a tooltip's window ends it: the
//   text then stops with the tooltip.
// - rows: how far the layout cursor moved. The title takes one text line and each check box
//   or slider one frame line, so the distance says how many widgets were laid out.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <imgui.h>
#include <imgui_internal.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>

#include "gui/settings_window.h"
#include "core/host.h"
#include "in_process_host.h"
#include "png.h"

namespace vhost {
namespace {

namespace fs = std::filesystem;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;
using Context = SettingsFrameOptions::Context;

// One frame of the panel as seen from the host's Dear ImGui.
struct PanelView {
    std::string text;        // what the panel rendered, from Dear ImGui's text log
    ImVec2 origin;           // the layout cursor before the panel
    float height = 0.0f;     // how far the panel moved the cursor down
    float lineStep = 0.0f;   // a text line with its spacing
    float rowStep = 0.0f;    // a check box or slider line with its spacing
    float rowHeight = 0.0f;  // a check box or slider
    float itemWidth = 0.0f;  // a slider's width
    ImGuiID hovered = 0;     // the item under the mouse this frame
    ImGuiID checkboxId = 0, posXId = 0, posYId = 0;
    bool tooltipVisible = false;

    // Check boxes and sliders below the title; -1 when not even the title was drawn.
    int Rows() const {
        if (height <= 0.0f) return -1;
        return static_cast<int>(std::lround((height - lineStep) / rowStep));
    }
    // Row 0 is the check box, rows 1 and 2 the sliders.
    float RowCentreY(int row) const {
        return origin.y + lineStep + static_cast<float>(row) * rowStep + rowHeight / 2.0f;
    }
    GuiInput Checkbox(bool down) const { return {origin.x + rowHeight / 2.0f, RowCentreY(0), down}; }
    // A point on slider 1 or 2, `fraction` of the way across.
    GuiInput Slider(int slider, float fraction, bool down = false) const {
        return {origin.x + itemWidth * fraction, RowCentreY(slider), down};
    }
};

class PanelTest : public ::testing::Test {
protected:
    void StartHost(bool load = true) {
        setup_.options.loadPlugin = load;
        const CommandResult started = setup_.Start();
        ASSERT_TRUE(started.ok()) << started.message;
    }

    // Runs a command line that must succeed; returns what it printed.
    std::string Run(const std::string& line) { return setup_.Run(line); }

    PanelView Frame(const GuiInput& input = {}, Context context = Context::Window) {
        PanelView view;
        SettingsFrameOptions options;
        options.context = context;
        ImGuiIO* io = nullptr;
        decltype(io->SetClipboardTextFn) hostClipboard = nullptr;
        void* hostClipboardData = nullptr;
        options.beforePanel = [&] {
            io = &ImGui::GetIO();
            hostClipboard = io->SetClipboardTextFn;
            hostClipboardData = io->ClipboardUserData;
            io->SetClipboardTextFn = [](void* text, const char* logged) {
                static_cast<std::string*>(text)->append(logged);
            };
            io->ClipboardUserData = &view.text;
            view.origin = ImGui::GetCursorScreenPos();
            ImGui::LogToClipboard();
        };
        options.afterPanel = [&] {
            ImGui::LogFinish();  // hands the text to the handler, unless a tooltip ended the log
            io->SetClipboardTextFn = hostClipboard;
            io->ClipboardUserData = hostClipboardData;
            while (!view.text.empty() && view.text.back() == '\n') view.text.pop_back();  // the log's last line end
            ImGuiContext& g = *ImGui::GetCurrentContext();
            view.height = ImGui::GetCursorScreenPos().y - view.origin.y;
            view.lineStep = ImGui::GetTextLineHeightWithSpacing();
            view.rowStep = ImGui::GetFrameHeightWithSpacing();
            view.rowHeight = ImGui::GetFrameHeight();
            view.itemWidth = ImGui::CalcItemWidth();
            view.hovered = g.HoveredId;
            // The panel's widgets have these IDs: it draws in the same ID scope.
            view.checkboxId = ImGui::GetID("Enable plugin");
            view.posXId = ImGui::GetID("##vantrel_pos_x");
            view.posYId = ImGui::GetID("##vantrel_pos_y");
            const ImGuiWindow* tooltip = ImGui::FindWindowByName("##Tooltip_00");
            view.tooltipVisible = tooltip != nullptr && tooltip->Active && !tooltip->Hidden;
        };
        const CommandResult result = host_->SettingsFrame(input, options);
        EXPECT_TRUE(result.ok()) << result.message;
        return view;
    }

    std::uint64_t Writes() { return host_->calls().Count(Op::setValue); }
    std::string Value(const std::string& name) {
        const ConsoleVariable* variable = host_->cvars().Find(name);
        return variable == nullptr ? "<unregistered>" : variable->value;
    }
    // Registers a variable as another plug-in would, before Vantrel is loaded.
    void RegisterElsewhere(const std::string& name, const std::string& value) {
        pluginsdk::CVarDefinition definition;
        definition.name = name;
        definition.defaultValue = value;
        definition.hasMin = true;
        std::string warning;
        host_->cvars().Register(0, definition, warning);
    }

    vtest::InProcessHost setup_{VANTREL_MODULE};
    const fs::path& dir_ = setup_.options.workdir;  // the plug-in's log and pictures land here
    std::unique_ptr<Host>& host_ = setup_.host;
};

// The panel as it starts: the window laid out, the geometry of its widgets known.
class LoadedPanelTest : public PanelTest {
protected:
    void SetUp() override {
        PanelTest::SetUp();
        StartHost();
        Frame();
        panel_ = Frame();
        ASSERT_EQ(panel_.Rows(), 3) << panel_.text;
    }
    PanelView panel_;
};

TEST_F(LoadedPanelTest, ShowsItsWidgetsAndWritesNothingWithoutClicks) {
    EXPECT_EQ(panel_.text, "A really cool plugin\n[x] Enable plugin\n{ 10.000 }\n{ 350.000 }");
    const std::uint64_t before = Writes();
    Frame(panel_.Checkbox(false));
    Frame(panel_.Slider(1, 0.5f));
    Frame(panel_.Slider(2, 0.5f));
    Frame({-1.0f, -1.0f, true});  // the button held with no mouse over the window
    Frame();
    EXPECT_EQ(Writes(), before);
    EXPECT_EQ(Value("vantrel_enabled"), "1");
    EXPECT_EQ(Value("vantrel_pos_x"), "10");
    EXPECT_EQ(Value("vantrel_pos_y"), "350");
}

TEST_F(LoadedPanelTest, CheckboxClickWritesOnceAndSwitchesTheOverlay) {
    ASSERT_NE(Run("frame"), "(nothing drawn)\n");
    const std::uint64_t before = Writes();
    Frame(panel_.Checkbox(true));
    EXPECT_EQ(Writes(), before) << "a check box toggles on release";
    Frame(panel_.Checkbox(false));
    EXPECT_EQ(Writes(), before + 1);
    EXPECT_EQ(Value("vantrel_enabled"), "0");
    EXPECT_EQ(Run("frame"), "(nothing drawn)\n");
    Frame(panel_.Checkbox(false));
    Frame();
    EXPECT_EQ(Writes(), before + 1);
    EXPECT_THAT(Frame().text, HasSubstr("[ ] Enable plugin"));

    Frame(panel_.Checkbox(true));
    Frame(panel_.Checkbox(false));
    EXPECT_EQ(Writes(), before + 2);
    EXPECT_EQ(Value("vantrel_enabled"), "1");
    EXPECT_NE(Run("frame"), "(nothing drawn)\n");
}

TEST_F(LoadedPanelTest, DraggedSliderWritesOnlyOnFramesThatMoveIt) {
    Frame(panel_.Slider(1, 0.25f));
    std::uint64_t writes = Writes();
    Frame(panel_.Slider(1, 0.25f, true));  // the press moves the grab to the mouse
    EXPECT_EQ(Writes(), writes + 1);
    const float pressed = std::stof(Value("vantrel_pos_x"));
    EXPECT_GT(pressed, 300.0f);
    EXPECT_LT(pressed, 700.0f);

    struct Step {
        float fraction;
        bool down;
        bool writes;
    };
    const Step steps[] = {
        {0.25f, true, false}, {0.30f, true, true},   {0.30f, true, false}, {0.40f, true, true},
        {0.40f, true, false}, {0.40f, false, false}, {0.60f, false, false},  // moving after the release
    };
    float value = pressed;
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        writes = Writes();
        Frame(panel_.Slider(1, steps[i].fraction, steps[i].down));
        EXPECT_EQ(Writes() - writes, steps[i].writes ? 1u : 0u) << "step " << i;
        const float now = std::stof(Value("vantrel_pos_x"));
        if (steps[i].writes) {
            EXPECT_GT(now, value) << "step " << i;
        } else {
            EXPECT_EQ(now, value) << "step " << i;
        }
        value = now;
    }
    EXPECT_EQ(Value("vantrel_pos_y"), "350");
}

TEST_F(LoadedPanelTest, ValueBeyondTheRangeIsShownAndKeptUntilTheSliderMoves) {
    Run("set vantrel_pos_x 2500");
    const std::uint64_t before = Writes();
    EXPECT_THAT(Frame().text, HasSubstr("{ 2500.000 }"));
    Frame(panel_.Slider(1, 0.5f));
    Frame(panel_.Slider(1, 0.5f));
    Frame();
    EXPECT_EQ(Writes(), before);
    EXPECT_EQ(Run("get vantrel_pos_x"), "vantrel_pos_x = \"2500\"\n");

    Frame(panel_.Slider(1, 0.5f, true));
    EXPECT_EQ(Writes(), before + 1);
    const float moved = std::stof(Value("vantrel_pos_x"));
    EXPECT_GT(moved, 800.0f);
    EXPECT_LT(moved, 1100.0f);
}

TEST_F(LoadedPanelTest, HoveredSliderShowsItsLabelAndValue) {
    Frame(panel_.Slider(1, 0.5f));
    const PanelView left = Frame(panel_.Slider(1, 0.5f));  // a tooltip shows from the second frame
    EXPECT_EQ(left.hovered, left.posXId);
    EXPECT_TRUE(left.tooltipVisible);
    EXPECT_THAT(left.text, EndsWith("{ 10.000 }\nLeft: 10.000000"));

    const PanelView top = Frame(panel_.Slider(2, 0.5f));
    EXPECT_EQ(top.hovered, top.posYId);
    EXPECT_THAT(top.text, EndsWith("{ 350.000 }\nTop: 350.000000"));
    EXPECT_THAT(top.text, Not(HasSubstr("Left:")));

    const PanelView checkbox = Frame(panel_.Checkbox(false));
    EXPECT_EQ(checkbox.hovered, checkbox.checkboxId);
    EXPECT_FALSE(checkbox.tooltipVisible);
    EXPECT_THAT(checkbox.text, Not(HasSubstr(".000000")));
}

// Start-up stops at the first registration that throws, which leaves variables out.
TEST_F(PanelTest, SliderOfAnUnregisteredVariableIsLeftOut) {
    StartHost(false);
    RegisterElsewhere("vantrel_pos_y", "350");
    Run("fault registerCvar throw skip 1");  // "vantrel_enabled" goes through, "vantrel_pos_x" fails
    Run("load");
    ASSERT_EQ(Value("vantrel_pos_x"), "<unregistered>");
    Frame();
    const PanelView view = Frame();
    EXPECT_EQ(view.Rows(), 2);
    EXPECT_EQ(view.text, "A really cool plugin\n[x] Enable plugin\n{ 350.000 }");
}

TEST_F(PanelTest, WithoutTheEnableVariableOnlyTheTitleShows) {
    StartHost(false);
    RegisterElsewhere("vantrel_pos_x", "10");
    RegisterElsewhere("vantrel_pos_y", "350");
    Run("fault registerCvar throw");
    Run("load");
    ASSERT_EQ(Value("vantrel_enabled"), "<unregistered>");
    Frame();
    const PanelView view = Frame();
    EXPECT_EQ(view.Rows(), 0);
    EXPECT_EQ(view.text, "A really cool plugin");
    EXPECT_EQ(host_->EscapedExceptions(), 0u);
}

TEST_F(PanelTest, PanelDrawsOnlyIntoTheContextItWasHanded) {
    StartHost();
    Frame({}, Context::Null);
    const PanelView withoutContext = Frame({}, Context::Null);
    EXPECT_EQ(withoutContext.Rows(), -1);
    EXPECT_EQ(withoutContext.text, "");
    EXPECT_EQ(Frame({}, Context::NotHanded).Rows(), -1) << "the plug-in has no context of its own";
    EXPECT_EQ(Frame({}, Context::Window).Rows(), 3);
    EXPECT_EQ(host_->EscapedExceptions(), 0u);
}

TEST_F(PanelTest, MenuCommandOpensTheTabAndItsPictureShowsThePanel) {
    StartHost();
    EXPECT_EQ(Run("vantrel_show_menu"), "menu \"vantrel\" opened\n");
    EXPECT_EQ(Run("settings panel.png"),
              "settings window: open, tab \"Vantrel\"; tabs: \"Vantrel\"\nsettings written to panel.png\n");
    const PanelView view = Frame();
    const vtest::Png picture(dir_ / "panel.png");
    ASSERT_TRUE(picture.ok()) << picture.error();
    const int top = static_cast<int>(view.origin.y);
    const int bottom = static_cast<int>(view.origin.y + view.height);
    EXPECT_GT(picture.BrightShare(0, top, picture.width(), bottom), 0.01);
    EXPECT_EQ(picture.width(), 640);
    EXPECT_EQ(picture.height(), 360);
    EXPECT_EQ(picture.BrightShare(0, bottom + 10, picture.width(), picture.height() - 10), 0.0)
        << "nothing below the panel";
}

}  // namespace
}  // namespace vhost
