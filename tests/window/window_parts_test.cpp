// The window's pieces that need no display: the partial redraw (which areas a frame draws
// again), the layout at small sizes, and the keyboard queue that lets every Enter run its line.
#include <gtest/gtest.h>
#include <imgui.h>
#include <imgui_internal.h>

#include <string>
#include <vector>

#include "window/input_queue.h"
#include "window/layout.h"
#include "window/presenter.h"

namespace vhost {
namespace {

constexpr int kEnter = 257;  // the platform's key code for Enter, as the window's GLFW has it

// A Dear ImGui context of its own, with no renderer: frames give draw data only.
class HeadlessGui {
public:
    HeadlessGui() : context_(ImGui::CreateContext()) {
        ImGui::SetCurrentContext(context_);
        ImGuiIO& io = ImGui::GetIO();
        io.IniFilename = nullptr;
        io.DisplaySize = ImVec2(800, 600);
        io.DeltaTime = 1.0f / 60.0f;
        io.KeyMap[ImGuiKey_Enter] = kEnter;
        unsigned char* pixels = nullptr;
        int w = 0, h = 0;
        io.Fonts->GetTexDataAsRGBA32(&pixels, &w, &h);
    }
    ~HeadlessGui() { ImGui::DestroyContext(context_); }
    HeadlessGui(const HeadlessGui&) = delete;
    HeadlessGui& operator=(const HeadlessGui&) = delete;

    // One frame with a panel at each of `panels`, each showing its text.
    const ImDrawData* Frame(const std::vector<std::pair<Rect, std::string>>& panels) {
        ImGui::NewFrame();
        int n = 0;
        for (const auto& [area, text] : panels) {
            ImGui::SetNextWindowPos(ImVec2(area.x, area.y));
            ImGui::SetNextWindowSize(ImVec2(area.w, area.h));
            ImGui::Begin(("panel " + std::to_string(n++)).c_str(), nullptr, ImGuiWindowFlags_NoDecoration);
            ImGui::TextUnformatted(text.c_str());
            ImGui::End();
        }
        ImGui::Render();
        return ImGui::GetDrawData();
    }

private:
    ImGuiContext* context_;
};

bool Inside(const Rect& inner, const Rect& outer) {
    return inner.x >= outer.x && inner.y >= outer.y && inner.Right() <= outer.Right() && inner.Bottom() <= outer.Bottom();
}

TEST(PresenterTest, RedrawsOnlyWhereAFrameDiffersFromWhatIsShown) {
    HeadlessGui gui;
    Presenter presenter;
    const Rect left{10, 10, 200, 100}, right{400, 300, 300, 200};
    const auto plan = [&](const std::string& leftText, const std::string& rightText, int width = 800,
                          const Rect& uploaded = {}) {
        return presenter.Plan({{gui.Frame({{left, leftText}, {right, rightText}}), 0, 0}}, width, 600, uploaded);
    };

    RedrawPlan first = plan("clock 1", "console");
    EXPECT_TRUE(first.draw);
    EXPECT_TRUE(first.areas.empty()) << "the first frame is drawn whole";
    EXPECT_FALSE(plan("clock 1", "console").draw) << "the same frame again draws nothing";

    // Text changed in one panel: only that panel's place, nothing of the other.
    RedrawPlan changed = plan("clock 1", "console, one more line");
    ASSERT_TRUE(changed.draw);
    ASSERT_EQ(changed.areas.size(), 1u);
    const Rect& a = changed.areas[0];
    // (Anti-aliased edges reach a pixel or two past a panel.)
    EXPECT_TRUE(Inside(a, Rect{right.x - 2, right.y - 2, right.w + 4, right.h + 4})) << a.x << ',' << a.y << ' ' << a.w << 'x' << a.h;
    EXPECT_TRUE(Intersect(a, left).Empty());

    // A part of the game screen uploaded: that part alone.
    const Rect uploaded{50.5f, 200.25f, 30, 20};
    RedrawPlan screen = plan("clock 1", "console, one more line", 800, uploaded);
    ASSERT_EQ(screen.areas.size(), 1u);
    EXPECT_TRUE(Inside(uploaded, screen.areas[0]));
    EXPECT_LE(screen.areas[0].w * screen.areas[0].h, 32.0f * 22.0f);

    // A panel appearing, a resize and an expose each take the whole window.
    const ImDrawData* three = gui.Frame({{left, "clock 1"}, {right, "console, one more line"}, {{300, 50, 50, 50}, "x"}});
    RedrawPlan opened = presenter.Plan({{three, 0, 0}}, 800, 600);
    EXPECT_TRUE(opened.draw);
    EXPECT_TRUE(opened.areas.empty());
    EXPECT_TRUE(plan("clock 1", "console", 1024).areas.empty());
    presenter.Invalidate();
    RedrawPlan exposed = plan("clock 1", "console", 1024);
    EXPECT_TRUE(exposed.draw);
    EXPECT_TRUE(exposed.areas.empty());
    EXPECT_FALSE(plan("clock 1", "console", 1024).draw);

    // The same frame moved (the settings window's, when the bar above it grows): drawn where
    // it was and where it is now, though its lists did not change.
    const ImDrawData* same = gui.Frame({{left, "clock 1"}, {right, "console"}});
    RedrawPlan moved = presenter.Plan({{same, 0, 40}}, 1024, 600);
    ASSERT_TRUE(moved.draw);
    Rect covered;
    for (const Rect& area : moved.areas) covered = Union(covered, area);
    EXPECT_TRUE(Inside(Rect{right.x, right.y, right.w, right.h + 40}, covered));
}

TEST(PresenterTest, WithoutAKeptBackBufferEveryChangeIsDrawnWhole) {
    HeadlessGui gui;
    Presenter presenter(false);
    const Rect panel{10, 10, 200, 100};
    presenter.Plan({{gui.Frame({{panel, "one"}}), 0, 0}}, 800, 600);
    RedrawPlan changed = presenter.Plan({{gui.Frame({{panel, "two"}}), 0, 0}}, 800, 600);
    EXPECT_TRUE(changed.draw);
    EXPECT_TRUE(changed.areas.empty());
    EXPECT_FALSE(presenter.Plan({{gui.Frame({{panel, "two"}}), 0, 0}}, 800, 600).draw);
}

TEST(PresenterTest, ManyScatteredChangesBecomeAtMostFourAreas) {
    std::vector<Rect> areas;
    Rect all;
    for (int i = 0; i < 10; ++i) {
        const Rect r{static_cast<float>(i * 70), static_cast<float>(i * 50), 10, 10};
        AddArea(areas, r);
        all = Union(all, r);
        EXPECT_LE(areas.size(), 4u);
    }
    Rect covered;
    for (const Rect& a : areas) covered = Union(covered, a);
    EXPECT_TRUE(Inside(all, covered) && Inside(covered, all));
    std::vector<Rect> l;
    AddArea(l, Rect{0, 0, 100, 10});
    AddArea(l, Rect{0, 10, 10, 100});  // an L: kept as two, not one large box
    EXPECT_EQ(l.size(), 2u);
}

TEST(LayoutTest, EveryPartStaysInsideDownToTheSmallestUsableWindow) {
    for (const auto& [width, height] : std::vector<std::pair<int, int>>{{1024, 600}, {1280, 720}, {1600, 900}, {1920, 1080}}) {
        SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
        LayoutInput in;
        in.width = width;
        in.height = height;
        in.barRows = width >= 1500 ? 2 : 3;
        const Layout l = ComputeLayout(in);
        const Rect window{0, 0, static_cast<float>(width), static_cast<float>(height)};
        for (const Rect& part : {l.bar, l.game, l.screen, l.settings, l.console}) EXPECT_TRUE(Inside(part, window));
        EXPECT_EQ(l.console.Bottom(), height);
        EXPECT_GE(l.console.h, in.consoleMin) << "the console keeps its input line and three lines";
        EXPECT_EQ(l.game.y, l.bar.Bottom());
        EXPECT_EQ(l.console.y, l.game.Bottom());
        EXPECT_GE(l.screen.w, static_cast<float>(width) / 3.0f - 1) << "the game screen keeps a third of the width";
        EXPECT_TRUE(Inside(l.screen, l.game));
        EXPECT_NEAR(l.screen.w / l.screen.h, 16.0f / 9.0f, 0.02f);
    }
}

// An input line as the console has it: Enter returns it, and it is taken again at once.
std::vector<std::string> TypeInOneBatch(const std::string& keys, int frames) {
    HeadlessGui gui;
    InputQueue queue;
    for (const char c : keys) {
        if (c == '\n') {
            queue.Key(kEnter, true);
            queue.Key(kEnter, false);
        } else {
            queue.Char(static_cast<unsigned char>(c));
        }
    }
    std::vector<std::string> lines;
    char buffer[256] = "";
    for (int frame = 0; frame < frames; ++frame) {
        ImGuiIO& io = ImGui::GetIO();
        const ImGuiContext& g = *ImGui::GetCurrentContext();
        if (frame >= 2) queue.Apply(io, g.ActiveId != 0);  // the first frames give the line its focus
        ImGui::NewFrame();
        ImGui::Begin("console");
        if (!ImGui::IsAnyItemActive()) ImGui::SetKeyboardFocusHere();
        if (ImGui::InputText("##input", buffer, sizeof buffer, ImGuiInputTextFlags_EnterReturnsTrue)) {
            lines.emplace_back(buffer);
            buffer[0] = '\0';
        }
        ImGui::End();
        ImGui::Render();
    }
    return lines;
}

TEST(InputQueueTest, EveryEnterRunsTheLineTypedBeforeIt) {
    // Presses and releases that all came between two frames, as automation and remote
    // desktops deliver them.
    EXPECT_EQ(TypeInOneBatch("status\n", 10), (std::vector<std::string>{"status"}));
    EXPECT_EQ(TypeInOneBatch("echo one\necho two\nwait 1\n", 30),
              (std::vector<std::string>{"echo one", "echo two", "wait 1"}));
}

}  // namespace
}  // namespace vhost
