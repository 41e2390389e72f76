// vantrel-host --window under a virtual X server that each test starts itself (Xvfb picks a
// free display number). The window is driven by vantrel-host-driven, the program with the
// step driver of driver/ (VANTREL_WINDOW_HOOKS:
// mouse, keys and screenshots read back from the GL back buffer, one step a frame).
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <thread>

#include "png.h"
#include "run_host.h"
#include "temp_dir.h"

// Last: Xlib's macros (None, Status, Bool) would clash with names in the headers above.
#include <X11/Xlib.h>
#include <X11/keysym.h>
#undef None
#undef Status
#undef Bool

namespace {

using ::testing::HasSubstr;
using ::testing::Not;
namespace fs = std::filesystem;

// Starts Xvfb on a display number it chooses itself, with one screen of `screen` (WxHxDEPTH),
// and stops it at the end.
class VirtualDisplay {
public:
    explicit VirtualDisplay(const char* screen = "1920x1080x24") {
        int pipeFds[2];
        if (pipe(pipeFds) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            close(pipeFds[0]);
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, STDOUT_FILENO);
            dup2(null, STDERR_FILENO);
            const std::string fd = std::to_string(pipeFds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen, "-nolisten", "tcp",
                   static_cast<char*>(nullptr));
            _exit(127);
        }
        close(pipeFds[1]);
        std::string number;
        char c = 0;
        while (read(pipeFds[0], &c, 1) == 1 && c != '\n') number.push_back(c);
        close(pipeFds[0]);
        if (!number.empty()) display_ = ":" + number;
    }
    ~VirtualDisplay() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    const std::string& Name() const { return display_; }

private:
    pid_t pid_ = -1;
    std::string display_;
};

// A screenshot, with what these tests ask of it.
struct Picture {
    vtest::Png png;
    int Width() const { return png.width(); }
    int Height() const { return png.height(); }
    // The brightest channel value of the pixels in [x0, x1) x [y0, y1).
    int Brightest(int x0, int y0, int x1, int y1) const {
        int best = 0;
        for (int y = std::max(0, y0); y < std::min(Height(), y1); ++y) {
            for (int x = std::max(0, x0); x < std::min(Width(), x1); ++x) {
                const vtest::Rgba p = png.At(x, y);
                best = std::max({best, p.r, p.g, p.b});
            }
        }
        return best;
    }
    // Whether both pictures have the same pixels in the rectangle (x, y, w, h).
    bool SameAs(const Picture& other, const std::vector<float>& rect) const {
        const int x0 = static_cast<int>(rect.at(0)), y0 = static_cast<int>(rect.at(1));
        const int x1 = x0 + static_cast<int>(rect.at(2)), y1 = y0 + static_cast<int>(rect.at(3));
        for (int y = y0; y < y1; ++y) {
            for (int x = x0; x < x1; ++x) {
                if (png.Word(x, y) != other.png.Word(x, y)) return false;
            }
        }
        return true;
    }
};

Picture ReadPng(const fs::path& path) { return Picture{vtest::Png(path)}; }

// `layout` hook output: NAME VALUES... a line.
std::map<std::string, std::vector<float>> ReadLayout(const fs::path& path) {
    std::map<std::string, std::vector<float>> layout;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string name;
        words >> name;
        if (name == "control") {
            // control NAME... X Y W H: the name may hold blanks
            std::vector<std::string> rest;
            for (std::string w; words >> w;) rest.push_back(w);
            if (rest.size() < 4) continue;
            std::string key = "control";
            for (std::size_t i = 0; i + 4 < rest.size(); ++i) key += " " + rest[i];
            std::vector<float>& values = layout[key];
            for (std::size_t i = rest.size() - 4; i < rest.size(); ++i) values.push_back(std::stof(rest[i]));
            continue;
        }
        std::vector<float>& values = layout[name];
        for (float v; words >> v;) values.push_back(v);
    }
    return layout;
}

// Where a rectangle of the 1920x1080 game screen lands in the window.
struct ScreenMap {
    float x, y, scale;
    explicit ScreenMap(const std::vector<float>& screen) : x(screen.at(0)), y(screen.at(1)), scale(screen.at(2) / 1920.0f) {}
    int X(float gameX) const { return static_cast<int>(x + gameX * scale); }
    int Y(float gameY) const { return static_cast<int>(y + gameY * scale); }
};

// The table at (left, top) on the game screen: its grid is white, the screen under it dark.
int TableBrightness(const Picture& shot, const ScreenMap& map, float left, float top) {
    return shot.Brightest(map.X(left), map.Y(top), map.X(left + 280), map.Y(top + 100));
}
constexpr int kBackgroundAtMost = 110;  // sky and pitch
constexpr int kTableAtLeast = 150;      // the grid, even when scaled down

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (system("command -v Xvfb >/dev/null 2>&1") != 0) GTEST_SKIP() << "Xvfb is not installed (package xvfb)";
        StartDisplay("1920x1080x24");
        if (display_->Name().empty()) GTEST_SKIP() << "Xvfb did not start";
        temp_ = std::make_unique<vtest::TempDir>("vantrel-window-test");
        dir_ = temp_->path();
    }
    void TearDown() override {
        unsetenv("VANTREL_WINDOW_HOOKS");
        display_.reset();
        temp_.reset();
    }

    // Runs the script in the window, played with these steps; no script (""): the empty
    // evening a person starts with `--window` alone.
    vtest::HostRun RunWindow(const std::string& script, const std::string& hooks, const std::string& speed = "1") {
        const fs::path hooksPath = dir_ / "hooks";
        std::ofstream(hooksPath) << hooks;
        setenv("VANTREL_WINDOW_HOOKS", hooksPath.c_str(), 1);
        vtest::HostRunOptions options;
        options.executable = VANTREL_DRIVEN_HOST;
        options.arguments = {"--window", "--speed", speed};
        options.scriptOnStdin = script.empty();  // the window reads no script from standard input
        options.timeout = std::chrono::seconds(90);
        vtest::HostRun run = vtest::RunHost(script, options);
        unsetenv("VANTREL_WINDOW_HOOKS");
        return run;
    }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    void StartDisplay(const char* screen) {
        display_.reset();
        display_ = std::make_unique<VirtualDisplay>(screen);
        setenv("DISPLAY", display_->Name().c_str(), 1);
    }

    std::unique_ptr<VirtualDisplay> display_;
    std::unique_ptr<vtest::TempDir> temp_;
    fs::path dir_;
};

TEST_F(WindowTest, OpensAtItsSizeShowingTheTableWhereTheSettingsPutIt) {
    const vtest::HostRun run = RunWindow("set vantrel_pos_x 600\nwait 1\n",
                                         "script\nframes 3\nlayout " + Path("layout") + "\nscreenshot " +
                                             Path("shot.png") + "\nframes 1\nclose\n");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto layout = ReadLayout(Path("layout"));
    EXPECT_EQ(layout.at("window"), (std::vector<float>{1600, 900}));
    const Picture shot = ReadPng(Path("shot.png"));
    ASSERT_EQ(shot.Width(), 1600);
    ASSERT_EQ(shot.Height(), 900);
    const ScreenMap map(layout.at("screen"));
    EXPECT_GE(TableBrightness(shot, map, 600, 350), kTableAtLeast);
    EXPECT_LE(TableBrightness(shot, map, 10, 350), kBackgroundAtMost);  // the default place is empty
    EXPECT_LE(TableBrightness(shot, map, 1200, 350), kBackgroundAtMost);
}

TEST_F(WindowTest, PanelCheckboxAndSliderDrivenWithTheMouseHideAndMoveTheTable) {
    const std::string hooks =
        "frames 5\nlayout " + Path("layout") + "\nscreenshot " + Path("start.png") +
        // Drag the left slider to the middle: the table follows to x = 960.
        "\nmouse widget ##vantrel_pos_x at 0.05\nframes 2\npress\nframes 2\nmouse widget ##vantrel_pos_x at 0.3\nframes 2\n"
        "mouse widget ##vantrel_pos_x at 0.5\nframes 2\n"
        "release\nframes 4\nscreenshot " + Path("moved.png") +
        // The window is drawn again only where it changed: drawn whole, it must look the same
        // (the mouse moved off the panel first, so that no tooltip comes or goes between; the
        // game screen is compared, the panel's hover shading may still settle).
        "\nmouse 400 800\nframes 6\nlayout " + Path("layout-moved") + "\nscreenshot " + Path("moved-parts.png") +
        "\nframes 2\nredraw\nscreenshot " + Path("moved-whole.png") +
        // Click the check box: the table goes.
        "\nmouse widget Enable plugin\nframes 2\npress\nframes 2\nrelease\nframes 4\nscreenshot " + Path("off.png") +
        "\nframes 1\nclose\n";
    const vtest::HostRun run = RunWindow("openmenu vantrel\n", hooks);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const ScreenMap map(ReadLayout(Path("layout")).at("screen"));

    EXPECT_GE(TableBrightness(ReadPng(Path("start.png")), map, 10, 350), kTableAtLeast);
    const Picture moved = ReadPng(Path("moved.png"));
    EXPECT_LE(TableBrightness(moved, map, 10, 350), kBackgroundAtMost);
    EXPECT_GE(TableBrightness(moved, map, 960, 350), kTableAtLeast);
    const auto movedLayout = ReadLayout(Path("layout-moved"));
    const Picture parts = ReadPng(Path("moved-parts.png"));
    const Picture whole = ReadPng(Path("moved-whole.png"));
    ASSERT_EQ(whole.Width(), parts.Width());
    EXPECT_TRUE(parts.SameAs(whole, movedLayout.at("screen")));
    EXPECT_LE(TableBrightness(ReadPng(Path("off.png")), map, 960, 350), kBackgroundAtMost);

    const std::string config = run.Config();
    EXPECT_THAT(config, HasSubstr("vantrel_enabled \"0\""));
    const std::smatch m = [&] {
        std::smatch match;
        std::regex_search(config, match, std::regex("vantrel_pos_x \"([0-9.]+)\""));
        return match;
    }();
    ASSERT_FALSE(m.empty()) << config;
    EXPECT_NEAR(std::stod(m[1]), 960.0, 20.0);
}

TEST_F(WindowTest, TypedCommandsRunWithHistoryAndAMatchHidesTheTable) {
    const std::string hooks = "frames 5\nlayout " + Path("layout") + "\nscreenshot " + Path("menus.png") +
                              "\ntype echo typed here\nkey enter\nframes 2\nkey up\nframes 2\nkey enter\nframes 2"
                              "\ntype settings panel.png\nkey enter\nframes 2"  // renders through Mesa's off-screen GL
                              "\ntype match start 11\nkey enter\nframes 5\nscreenshot " + Path("match.png") +
                              "\nframes 1\nclose\n";
    const vtest::HostRun run = RunWindow("", hooks);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const ScreenMap map(ReadLayout(Path("layout")).at("screen"));
    EXPECT_GE(TableBrightness(ReadPng(Path("menus.png")), map, 10, 350), kTableAtLeast);
    const Picture match = ReadPng(Path("match.png"));
    EXPECT_LE(TableBrightness(match, map, 10, 350), kBackgroundAtMost);
    EXPECT_GE(match.Brightest(map.X(0), map.Y(600), map.X(1920), map.Y(1080)), 30);  // the pitch is still drawn
    EXPECT_FALSE(run.ReadFile("panel.png").empty());
    // The second echo came back from the history with the up arrow.
    EXPECT_EQ(run.out, "typed here\ntyped here\nsettings window: open, tab \"Vantrel\"; tabs: \"Vantrel\"\n"
                       "settings written to panel.png\n");
}

TEST_F(WindowTest, PauseStopsTheClockAndASpeedButtonStartsIt) {
    const std::string hooks = "frames 5\nmouse control Pause\nframes 1\npress\nframes 2\nrelease\nframes 2\nlayout " +
                              Path("paused1") + "\nsleep 0.6\nlayout " + Path("paused2") +
                              "\nmouse control 10x\nframes 1\npress\nframes 2\nrelease\nsleep 0.5\nlayout " +
                              Path("running") + "\nclose\n";
    const vtest::HostRun run = RunWindow("", hooks);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto paused1 = ReadLayout(Path("paused1"));
    const auto paused2 = ReadLayout(Path("paused2"));
    const auto running = ReadLayout(Path("running"));
    EXPECT_EQ(paused1.at("paused"), std::vector<float>{1});
    EXPECT_EQ(paused1.at("clock"), paused2.at("clock"));
    EXPECT_EQ(running.at("paused"), std::vector<float>{0});
    EXPECT_EQ(running.at("speed"), std::vector<float>{10});
    EXPECT_GT(running.at("clock").at(0), paused2.at("clock").at(0) + 2.0f);  // 0.5 s at 10x, give or take
}

// Time stamps aside, the log; and the output (`frame`, `status`) and the exit status.
std::string WithoutTimeStamps(const std::string& log) {
    return std::regex_replace(log, std::regex("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d - ", std::regex::multiline), "");
}

TEST_F(WindowTest, AScriptPlaysInTheWindowAsItDoesHeadless) {
    std::ifstream in(VANTREL_EXAMPLES_DIR "/evening.vsh");
    std::stringstream evening;
    evening << in.rdbuf();
    const std::string script = evening.str() + "calls\nquit\n";

    const vtest::HostRun headless = vtest::RunHost(script);
    ASSERT_EQ(headless.exitCode, 0) << headless.err;
    // The settings window stays closed: open, it draws the panel every frame, whose calls
    // `calls` would count.
    const vtest::HostRun window = RunWindow(script, "settings closed\n", "1000");
    ASSERT_EQ(window.exitCode, 0) << window.err;
    EXPECT_EQ(WithoutTimeStamps(window.Log()), WithoutTimeStamps(headless.Log()));
    EXPECT_EQ(window.out, headless.out);
    EXPECT_EQ(window.Config(), headless.Config());

    // A failing line stops the script with the same report and status; the window stays
    // open until it is closed.
    const std::string failing = "echo one\nmatch end win\necho never\n";
    const vtest::HostRun headlessFailure = vtest::RunHost(failing);
    const vtest::HostRun windowFailure = RunWindow(failing, "script\nframes 2\nclose\n");
    EXPECT_EQ(headlessFailure.exitCode, 1);
    EXPECT_EQ(windowFailure.exitCode, 1);
    EXPECT_EQ(windowFailure.out, headlessFailure.out);
    EXPECT_THAT(windowFailure.err, HasSubstr("script.vsh:2: error: match end: no game is running"));
}

// A click on one of the window's own widgets, by its label.
std::string Click(const std::string& label) {
    return "mouse control " + label + "\nframes 2\npress\nframes 2\nrelease\nframes 3\n";
}

// The README's "What to try first", step by step, at the README's speed.
TEST_F(WindowTest, TheReadmesFirstStepsWorkAsWritten) {
    const std::string hooks =
        "frames 5\nlayout " + Path("layout") +
        // Drag the Left slider: the table follows.
        "\nmouse widget ##vantrel_pos_x at 0.005\nframes 2\npress\nframes 2\nmouse widget ##vantrel_pos_x at 0.3\n"
        "frames 2\nmouse widget ##vantrel_pos_x at 0.5\nframes 2\nrelease\nframes 4\nscreenshot " + Path("moved.png") +
        "\n" + Click("Start match") + "screenshot " + Path("match.png") + "\n" +
        Click("Scoreboard") + "screenshot " + Path("scoreboard.png") + "\n" +
        // 1012 in the rating box (3 s is already there), then Won.
        Click("rating") + "type 1012\nframes 2\n" + Click("Won") +
        "sleep 0.4\nscreenshot " + Path("won.png") +  // 24 virtual seconds: the poll is done
        "\ntype status\nkey enter\nframes 4\ntype frame\nkey enter\nframes 4\n" + Click("Pause") + "layout " +
        Path("paused") + "\n" +
        Click("+1 s") + "layout " + Path("stepped") + "\nclose\n";
    const vtest::HostRun run = RunWindow("", hooks, "60");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const ScreenMap map(ReadLayout(Path("layout")).at("screen"));
    const Picture moved = ReadPng(Path("moved.png"));
    EXPECT_GE(TableBrightness(moved, map, 960, 350), kTableAtLeast);
    EXPECT_LE(TableBrightness(moved, map, 10, 350), kBackgroundAtMost);
    EXPECT_LE(TableBrightness(ReadPng(Path("match.png")), map, 960, 350), kBackgroundAtMost);  // hidden in a match
    const Picture scoreboard = ReadPng(Path("scoreboard.png"));
    EXPECT_GE(TableBrightness(scoreboard, map, 960, 350), kTableAtLeast);
    // The 2vs2 row counts the win and the rating the server reported.
    const std::vector<float> table{static_cast<float>(map.X(960)), static_cast<float>(map.Y(350)),
                                   280 * map.scale, 100 * map.scale};
    EXPECT_FALSE(ReadPng(Path("won.png")).SameAs(scoreboard, table));
    EXPECT_THAT(run.Log(), HasSubstr("OnMatchEnd: wonMatch: 1"));
    EXPECT_THAT(run.Log(), HasSubstr("CheckMMRUpdate: mmr: 1012.00"));
    // The evening started as a game does, the ranked ratings known: no poll ran out, and the
    // table (`frame` typed in the console) shows the win's change and a rank to go up to.
    EXPECT_THAT(run.Log(), Not(HasSubstr("maxRetries reached the limit")));
    EXPECT_THAT(run.out, HasSubstr("DrawString \"2vs2 \""));
    EXPECT_THAT(run.out, HasSubstr("DrawString \" 1   0\""));
    EXPECT_THAT(run.out, HasSubstr("DrawString \" +06.00\""));
    EXPECT_THAT(run.out, HasSubstr("DrawString \"D3 D2     16.00\""));
    // `status` typed in the console: the clock to the millisecond at most.
    EXPECT_TRUE(std::regex_search(run.out, std::regex("(^|\n)clock: [0-9]+(\\.[0-9]{1,3})? s\n"))) << run.out;
    const auto paused = ReadLayout(Path("paused"));
    const auto stepped = ReadLayout(Path("stepped"));
    EXPECT_EQ(paused.at("paused"), std::vector<float>{1});
    EXPECT_NEAR(stepped.at("clock").at(0), paused.at("clock").at(0) + 1.0f, 1e-3);
}

// The window called `name`, below `w`.
Window FindWindow(Display* display, Window w, const std::string& name) {
    char* found = nullptr;
    if (XFetchName(display, w, &found) != 0 && found != nullptr) {
        const bool same = name == found;
        XFree(found);
        if (same) return w;
    }
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display, w, &root, &parent, &children, &count) == 0) return 0;
    Window match = 0;
    for (unsigned int i = 0; i < count && match == 0; ++i) match = FindWindow(display, children[i], name);
    if (children != nullptr) XFree(children);
    return match;
}

// Types `text` (small letters, digits, blanks; \n is Enter) into the host's window through
// the X server: every press and its release sent at once, as automation or a remote desktop
// sends them, so that they arrive between two frames.
void SendKeys(const std::string& text) {
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    const Window window = FindWindow(display, DefaultRootWindow(display), "vantrel-host");
    ASSERT_NE(window, 0u);
    for (const char c : text) {
        const KeySym symbol = c == '\n' ? XK_Return : static_cast<KeySym>(static_cast<unsigned char>(c));
        for (const bool press : {true, false}) {
            XKeyEvent key{};
            key.type = press ? KeyPress : KeyRelease;
            key.display = display;
            key.window = window;
            key.root = DefaultRootWindow(display);
            key.same_screen = True;
            key.keycode = XKeysymToKeycode(display, symbol);
            XSendEvent(display, window, True, press ? KeyPressMask : KeyReleaseMask, reinterpret_cast<XEvent*>(&key));
        }
    }
    XFlush(display);
    XCloseDisplay(display);
}

TEST_F(WindowTest, EveryEnterOfOneBatchOfKeysRunsItsLine) {
    const fs::path ready = dir_ / "ready";
    std::thread typist([&] {
        for (int i = 0; i < 600 && !fs::exists(ready); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        SendKeys("echo one\necho two\necho three\nquit\n");
    });
    const vtest::HostRun run = RunWindow("", "frames 10\nlayout " + ready.string() + "\nsleep 30\nclose\n");
    typist.join();
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "one\ntwo\nthree\n");
}

// Down to 1,024x600 the console's input line stays in the window, and so does every
// control of the bar; the console still shows its newest line.
TEST_F(WindowTest, ASmallWindowKeepsTheConsoleAndTheControlsInside) {
    const std::string hooks = "frames 5\nsize 1024x600\nframes 5\nlayout " + Path("small") +
                              "\nkeys echo small\\n\nframes 10\nclose\n";
    const vtest::HostRun run = RunWindow("help\n", hooks);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_THAT(run.out, ::testing::EndsWith("\nsmall\n"));
    const auto small = ReadLayout(Path("small"));
    ASSERT_EQ(small.at("window"), (std::vector<float>{1024, 600}));
    for (const auto& [name, r] : small) {
        if (name.rfind("control ", 0) != 0) continue;
        EXPECT_LE(r.at(0) + r.at(2), 1024) << name;
        EXPECT_LE(r.at(1) + r.at(3), 600) << name;
    }
    const std::vector<float>& input = small.at("control console");
    EXPECT_GE(input.at(1), 600 - 60);  // at the bottom, whole
    const std::vector<float>& scroll = small.at("console_scroll");
    EXPECT_GT(scroll.at(1), 0);
    EXPECT_GE(scroll.at(0), scroll.at(1) - 1) << "the newest line in view after the resize";
}

// On a 1024x600 screen the window opens inside it, with every control and the script's state
// in view; paused, a typed command's output shows at once, scrolled into view, without the
// mouse moving to wake the window.
TEST_F(WindowTest, OnASmallScreenAllIsInsideAndAPausedCommandShowsItsOutput) {
    StartDisplay("1024x600x24");
    ASSERT_FALSE(display_->Name().empty());
    const std::string hooks = "frames 5\nlayout " + Path("small") + "\n" + Click("Pause") + "layout " + Path("before") +
                              "\ntype echo paused\nkey enter\nsleep 1\nlayout " + Path("after") + "\nclose\n";
    const vtest::HostRun run = RunWindow("help\nwait 300\n", hooks);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto small = ReadLayout(Path("small"));
    ASSERT_EQ(small.at("window"), (std::vector<float>{1024, 600}));
    ASSERT_TRUE(small.count("control script"));
    for (const auto& [name, r] : small) {
        if (name.rfind("control ", 0) != 0) continue;
        EXPECT_LE(r.at(0) + r.at(2), 1024) << name;
        EXPECT_LE(r.at(1) + r.at(3), 600) << name;
    }
    EXPECT_THAT(run.out, ::testing::EndsWith("\npaused\n"));
    const auto before = ReadLayout(Path("before"));
    const auto after = ReadLayout(Path("after"));
    EXPECT_EQ(after.at("paused"), std::vector<float>{1});
    EXPECT_GT(after.at("console_scroll").at(1), before.at("console_scroll").at(1)) << "the output grew";
    EXPECT_GE(after.at("console_scroll").at(0), after.at("console_scroll").at(1) - 1) << "and shows its newest line";
}

// Ctrl-C and SIGTERM, and a window killed from outside, end the session as `quit` does:
// the plug-in unloaded and the settings saved.
TEST_F(WindowTest, SignalsAndALostWindowEndTheSessionAsQuitDoes) {
    for (const auto& [signal, status] : std::vector<std::pair<std::string, int>>{{"INT", 130}, {"TERM", 143}}) {
        const vtest::HostRun run = RunWindow("set vantrel_pos_x 600\n", "script\nframes 2\nsignal " + signal + "\nframes 5\n");
        EXPECT_EQ(run.exitCode, status) << run.err;
        EXPECT_THAT(run.Config(), HasSubstr("vantrel_pos_x \"600\"")) << run.err;
        EXPECT_THAT(run.err, HasSubstr(signal == "INT" ? "stopped by Ctrl-C" : "stopped by SIGTERM"));
    }
    for (const std::string how : {"kill-window", "destroy-window"}) {
        const vtest::HostRun lost = RunWindow("set vantrel_pos_x 700\n", "script\nframes 2\n" + how + "\nframes 60\n");
        EXPECT_EQ(lost.exitCode, 0) << how << ": " << lost.err;
        EXPECT_THAT(lost.Config(), HasSubstr("vantrel_pos_x \"700\"")) << how << ": " << lost.err;
        EXPECT_THAT(lost.err, HasSubstr("the window was lost")) << how;
    }
}

TEST(WindowWithoutDisplayTest, ExitsWithStatus2AndOneLine) {
    const char* saved = std::getenv("DISPLAY");
    const std::string display = saved != nullptr ? saved : "";
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    vtest::HostRunOptions options;
    options.arguments = {"--window"};
    const vtest::HostRun run = vtest::RunHost("echo never\n", options);
    if (saved != nullptr) setenv("DISPLAY", display.c_str(), 1);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_THAT(run.err, HasSubstr("no display"));
    EXPECT_EQ(run.Log(), "");  // the plug-in was never loaded
}

}  // namespace
