#include "window_session.h"

#include <GLFW/glfw3.h>
#include <imgui.h>
#include <imgui_impl_glfw.h>
#include <imgui_impl_opengl2.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fmt/format.h>

#include "console_buffer.h"
#include "game_screen.h"
#include "gui/offscreen_picture.h"
#include "gui/settings_window.h"
#include "recording_canvas.h"
#include "script_player.h"
#include "stop_request.h"

namespace vhost {
namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kSansFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr const char* kMonoFont = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf";
constexpr double kFrameSeconds = 1.0 / 60.0;
constexpr double kLongestFrame = 0.25;        // a stall does not make the clock jump further
constexpr double kIdleWaitSeconds = 0.5;      // how often an idle window looks at the log
constexpr double kScriptSliceSeconds = 0.01;  // script lines run per frame at most this long
constexpr int kFramesAfterInput = 3;          // Dear ImGui settles hover and release states
constexpr float kBarHeight = 66.0f;
constexpr float kSidePanelMin = 200.0f;
constexpr std::array<double, 3> kSpeeds = {1.0, 10.0, 60.0};

struct PlaylistChoice {
    const char* name;
    int playlist;
};
constexpr PlaylistChoice kPlaylists[] = {{"1vs1 (10)", 10}, {"2vs2 (11)", 11}, {"3vs3 (13)", 13}, {"Casual (6)", 6}};

struct Rect {
    float x = 0, y = 0, w = 0, h = 0;
    bool Contains(ImVec2 p) const { return p.x >= x && p.y >= y && p.x < x + w && p.y < y + h; }
};

// Begins an ImGui window fixed at `area`: the layout, not the user, places the panels.
void BeginPanel(const char* name, const Rect& area, ImGuiWindowFlags flags) {
    ImGui::SetNextWindowPos(ImVec2(area.x, area.y));
    ImGui::SetNextWindowSize(ImVec2(area.w, area.h));
    ImGui::Begin(name, nullptr, flags | ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoSavedSettings);
}

struct Layout {
    int width = 0, height = 0;
    Rect bar, game, screen, settings, side, console;  // screen: the game screen inside `game`, aspect kept
};

Layout ComputeLayout(int width, int height, int settingsWidth, int settingsHeight, float screenAspect) {
    Layout l;
    l.width = width;
    l.height = height;
    const auto w = static_cast<float>(width);
    const auto h = static_cast<float>(height);
    l.bar = {0, 0, w, kBarHeight};
    const float consoleHeight = std::max(160.0f, std::floor(h * 0.28f));
    const float middleTop = kBarHeight;
    const float middleHeight = std::max(static_cast<float>(settingsHeight) + kSidePanelMin * 0.5f,
                                        h - kBarHeight - consoleHeight);
    const auto sw = static_cast<float>(settingsWidth);
    l.game = {0, middleTop, std::max(1.0f, w - sw), middleHeight};
    l.settings = {l.game.w, middleTop, sw, static_cast<float>(settingsHeight)};
    l.side = {l.game.w, middleTop + l.settings.h, sw, std::max(1.0f, middleHeight - l.settings.h)};
    l.console = {0, middleTop + middleHeight, w, std::max(1.0f, h - middleTop - middleHeight)};
    // The game screen keeps its aspect, centred in its area.
    float sw2 = l.game.w;
    float sh2 = sw2 / screenAspect;
    if (sh2 > l.game.h) {
        sh2 = l.game.h;
        sw2 = sh2 * screenAspect;
    }
    l.screen = {std::floor(l.game.x + (l.game.w - sw2) / 2), std::floor(l.game.y + (l.game.h - sh2) / 2),
                std::floor(sw2), std::floor(sh2)};
    return l;
}

std::string GlfwErrorText() {
    const char* text = nullptr;
    glfwGetError(&text);
    return text != nullptr ? text : "unknown reason";
}

void AddFonts(ImGuiIO& io, ImFont*& sans, ImFont*& mono) {
    namespace fs = std::filesystem;
    std::error_code ec;
    sans = fs::exists(kSansFont, ec) ? io.Fonts->AddFontFromFileTTF(kSansFont, 15.0f) : nullptr;
    if (sans == nullptr) sans = io.Fonts->AddFontDefault();
    mono = fs::exists(kMonoFont, ec) ? io.Fonts->AddFontFromFileTTF(kMonoFont, 14.0f) : nullptr;
    if (mono == nullptr) mono = sans;
}

// --- test hooks ---------------------------------------------------------------------------

double ProcessCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct HookStep {
    std::string verb;
    std::string rest;
};

std::vector<HookStep> ReadHooks(const char* path) {
    std::vector<HookStep> steps;
    if (path == nullptr || *path == '\0') return steps;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        const auto space = line.find(' ');
        steps.push_back({line.substr(0, space), space == std::string::npos ? "" : line.substr(space + 1)});
    }
    return steps;
}

// --- the session --------------------------------------------------------------------------

class Session {
public:
    explicit Session(const WindowOptions& options)
        : options_(options),
          outTee_(console_, ConsoleLine::Kind::Out, std::cout.rdbuf()),
          errTee_(console_, ConsoleLine::Kind::Err, std::cerr.rdbuf()),
          out_(&outTee_),
          err_(&errTee_),
          speed_(options.speed) {}

    int Run();

private:
    bool OpenWindow();
    void CloseWindow();
    void InstallCallbacks();
    bool HaveWork() const;
    void Frame(double dt);
    void MoveClock(double seconds);
    Outcome RunLine(const std::string& line, bool typed);
    CommandResult ExecuteCommand(const std::string& line);
    void RunHooks(ImGuiIO& io);
    void ApplySyntheticInput(ImGuiIO& io);
    bool HookTarget(const std::string& target, ImVec2& point) const;
    bool SleepHookDue() const;
    void DrawBar();
    void DrawConsole();
    void DrawSide();
    void DrawSettings();
    void ShowGameScreen();
    void Render(const std::vector<Rect>& areas);
    void DrawArea(const Rect* area);
    bool ChangedAreas(std::vector<Rect>& areas);
    void RenderSettings(const Rect* area);
    bool ProbeKeptBackBuffer();
    bool Button(const char* label, const char* control = nullptr);
    void WriteLayout(const std::string& path);
    void Screenshot(const std::string& path);

    const WindowOptions& options_;
    ConsoleBuffer console_;
    ConsoleTee outTee_;
    ConsoleTee errTee_;
    std::ostream out_;
    std::ostream err_;
    std::unique_ptr<Host> host_;
    std::unique_ptr<FileTail> log_;

    GLFWwindow* window_ = nullptr;
    ImGuiContext* gui_ = nullptr;
    ImFont* sans_ = nullptr;
    ImFont* mono_ = nullptr;
    Layout layout_;
    bool activity_ = true;  // input or a resize since the last frame
    int settleFrames_ = kFramesAfterInput;

    // The clock and the script.
    double speed_ = 1.0;
    bool paused_ = false;
    double stepRequest_ = 0.0;
    ScriptPlayer script_;
    int status_ = kExitOk;
    bool quit_ = false;
    bool worldTouched_ = true;  // a command ran: a paused screen needs a fresh frame

    // The game screen.
    std::unique_ptr<GameScreen> screen_;
    RecordingCanvas latest_;
    std::uint64_t framesDrawn_ = 0;
    std::uint64_t framesShown_ = 0;

    // The settings window in the window.
    unsigned int settingsAtlas_ = 0;
    bool settingsDrag_ = false;
    bool settingsWasDown_ = false;
    ImVec2 panelOrigin_{};
    float panelLineStep_ = 0, panelRowStep_ = 0, panelRowHeight_ = 0, panelItemWidth_ = 0;

    // The console's input line and its history.
    std::array<char, 1024> input_{};
    std::vector<std::string> history_;
    int historyPos_ = -1;
    bool focusConsole_ = true;
    bool consoleActive_ = false;
    bool scrollToEnd_ = true;
    std::uint64_t consoleSeen_ = 0;

    // Controls of the bar.
    int playlistChoice_ = 1;
    int team_ = 0;
    float rating_ = 1000.0f;
    float ratingAfter_ = 0.0f;
    std::map<std::string, Rect> controls_;
    Clock::time_point labelsDue_{};
    double clockLabel_ = 0.0;
    double waitLabel_ = 0.0;
    std::uint64_t redrawsLabel_ = 0;

    // Test hooks.
    std::vector<HookStep> hooks_;
    std::size_t hookIndex_ = 0;
    int hookFrames_ = 0;
    Clock::time_point hookUntil_{};
    bool syntheticMouse_ = false;
    ImVec2 mouse_{-1, -1};
    bool mouseDown_ = false;
    int releaseKey_ = -1;
    std::string screenshotPath_;

    std::uint64_t renderedFrames_ = 0;
    double cpuStart_ = 0.0;
    Clock::time_point wallStart_{};
    std::uint64_t framesAtStart_ = 0;
    // What the window shows, a Dear ImGui draw list at a time (the settings window's last).
    struct ShownList {
        std::uint64_t hash = 0;
        Rect area;  // where it can draw (ListArea): nothing it draws lies outside
    };
    std::vector<ShownList> shown_;
    int shownWidth_ = 0, shownHeight_ = 0;
    bool keptBackBuffer_ = false;  // a swap leaves the back buffer as it was: redraw only changes
    bool redrawAll_ = true;        // the window system lost what the window showed
    std::uint64_t partialFrames_ = 0;
    PixelBox screenStale_;  // the part of the game screen uploaded this frame
    std::uint64_t glFrames_ = 0;  // frames drawn with GL (the others showed the same)
    double renderCpu_ = 0.0;      // CPU time spent in Render (GL and the swap)
    double renderCpuAtStart_ = 0.0;
    std::uint64_t glFramesAtStart_ = 0;
    std::uint64_t partialFramesAtStart_ = 0;
};

bool Session::OpenWindow() {
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((display == nullptr || *display == '\0') && (wayland == nullptr || *wayland == '\0')) {
        std::cerr << "vantrel-host: --window: no display (neither DISPLAY nor WAYLAND_DISPLAY is set)\n";
        return false;
    }
    if (glfwInit() != GLFW_TRUE) {
        std::cerr << "vantrel-host: --window: cannot reach the display: " << GlfwErrorText() << '\n';
        return false;
    }
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 2);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 1);
    int width = options_.width, height = options_.height;
    if (const char* size = std::getenv("VANTREL_WINDOW_SIZE"); size != nullptr) {
        std::sscanf(size, "%dx%d", &width, &height);
        width = std::clamp(width, 640, 8192);
        height = std::clamp(height, 480, 8192);
    }
    window_ = glfwCreateWindow(width, height, "vantrel-host", nullptr, nullptr);
    if (window_ == nullptr) {
        std::cerr << "vantrel-host: --window: cannot open a window: " << GlfwErrorText() << '\n';
        glfwTerminate();
        return false;
    }
    glfwMakeContextCurrent(window_);
    glfwSwapInterval(1);
    InstallCallbacks();

    IMGUI_CHECKVERSION();
    gui_ = ImGui::CreateContext();
    ImGui::SetCurrentContext(gui_);
    ImGuiIO& io = ImGui::GetIO();
    io.IniFilename = nullptr;
    io.ConfigInputTextCursorBlink = false;  // an idle window draws nothing
    ImGui::StyleColorsDark();
    ImGui::GetStyle().WindowRounding = 0.0f;
    ImGui::GetStyle().FrameRounding = 2.0f;
    AddFonts(io, sans_, mono_);
    ImGui_ImplGlfw_InitForOpenGL(window_, true);  // chains to the callbacks installed above
    ImGui_ImplOpenGL2_Init();
    keptBackBuffer_ = std::getenv("VANTREL_WINDOW_FULL_REDRAW") == nullptr && ProbeKeptBackBuffer();
    return true;
}

void Session::CloseWindow() {
    if (window_ == nullptr) return;
    glfwMakeContextCurrent(window_);
    if (screen_) screen_->ReleaseTexture();
    if (settingsAtlas_ != 0) glDeleteTextures(1, &settingsAtlas_);
    ImGui::SetCurrentContext(gui_);
    ImGui_ImplOpenGL2_Shutdown();
    ImGui_ImplGlfw_Shutdown();
    ImGui::DestroyContext(gui_);
    gui_ = nullptr;
    glfwDestroyWindow(window_);
    window_ = nullptr;
    // GLFW is not terminated: the process ends next, and terminating would unload Mesa's GL
    // driver, whose lasting allocations LeakSanitizer then reports as leaks it cannot place.
}

void Session::InstallCallbacks() {
    glfwSetWindowUserPointer(window_, this);
    glfwSetCursorPosCallback(window_, [](GLFWwindow* w, double, double) {
        static_cast<Session*>(glfwGetWindowUserPointer(w))->activity_ = true;
    });
    glfwSetMouseButtonCallback(window_, [](GLFWwindow* w, int, int, int) {
        static_cast<Session*>(glfwGetWindowUserPointer(w))->activity_ = true;
    });
    glfwSetScrollCallback(window_, [](GLFWwindow* w, double, double) {
        static_cast<Session*>(glfwGetWindowUserPointer(w))->activity_ = true;
    });
    glfwSetKeyCallback(window_, [](GLFWwindow* w, int, int, int, int) {
        static_cast<Session*>(glfwGetWindowUserPointer(w))->activity_ = true;
    });
    glfwSetCharCallback(window_, [](GLFWwindow* w, unsigned int) {
        static_cast<Session*>(glfwGetWindowUserPointer(w))->activity_ = true;
    });
    glfwSetWindowSizeCallback(window_, [](GLFWwindow* w, int, int) {
        static_cast<Session*>(glfwGetWindowUserPointer(w))->activity_ = true;
    });
    glfwSetWindowRefreshCallback(window_, [](GLFWwindow* w) {
        auto* self = static_cast<Session*>(glfwGetWindowUserPointer(w));
        self->activity_ = true;
        self->redrawAll_ = true;
    });
    glfwSetWindowFocusCallback(window_, [](GLFWwindow* w, int) {
        static_cast<Session*>(glfwGetWindowUserPointer(w))->activity_ = true;
    });
}

int Session::Run() {
    if (!OpenWindow()) return kExitRefused;

    HostOptions hostOptions = options_.host;
    hostOptions.out = &out_;
    hostOptions.err = &err_;
    // The log is followed from where it ends now: the session's own lines are the new ones.
    std::error_code ec;
    const std::filesystem::path workdir =
        hostOptions.workdir.empty() ? std::filesystem::current_path(ec) : std::filesystem::absolute(hostOptions.workdir, ec);
    log_ = std::make_unique<FileTail>(workdir / "VantrelLog.txt");
    screen_ = std::make_unique<GameScreen>();
    hooks_ = ReadHooks(std::getenv("VANTREL_WINDOW_HOOKS"));

    int status = kExitOk;
    try {
        host_ = std::make_unique<Host>(hostOptions);
        host_->SetFrameTarget([this]() -> pluginsdk::CanvasBackend& {
            latest_.Clear();
            ++framesDrawn_;
            return latest_;
        });
        const CommandResult started = host_->Start();
        if (!started.ok()) {
            out_.flush();
            err_ << "vantrel-host: " << started.message << '\n';
            err_.flush();
            host_.reset();
            CloseWindow();
            return started.outcome == Outcome::Refused ? kExitRefused : kExitError;
        }
        script_.Start(*host_, options_.script, options_.scriptName);
        script_.SetExecutor([this](const std::string& line) {
            worldTouched_ = true;
            return ExecuteCommand(line);
        });
        script_.SetEcho([this](std::uint64_t number, const std::string& line) {
            if (line.find_first_not_of(" \t\r") != std::string::npos) {
                console_.Add(ConsoleLine::Kind::Command, fmt::format("{}:{}> {}", script_.Name(), number, line));
            }
        });

        auto last = Clock::now();
        auto nextFrame = last;
        while (!quit_ && !StopRequested()) {
            if (HaveWork()) {
                // Frames at 60 a second; input that comes between them is gathered for the next.
                for (;;) {
                    const double wait = std::chrono::duration<double>(nextFrame - Clock::now()).count();
                    if (wait <= 0.0) break;
                    glfwWaitEventsTimeout(wait);
                }
                glfwPollEvents();
                nextFrame = std::max(nextFrame + std::chrono::duration_cast<Clock::duration>(
                                                      std::chrono::duration<double>(kFrameSeconds)),
                                     Clock::now());
            } else {
                // Paused and nothing moves: sleep until input comes or the log grows.
                glfwWaitEventsTimeout(kIdleWaitSeconds);
                std::vector<std::string> lines = log_->Poll();
                for (std::string& line : lines) console_.Add(ConsoleLine::Kind::Log, std::move(line));
                if (!activity_ && lines.empty() && !glfwWindowShouldClose(window_) && !SleepHookDue()) {
                    last = Clock::now();
                    continue;
                }
                nextFrame = Clock::now();
            }
            if (glfwWindowShouldClose(window_)) break;
            const auto now = Clock::now();
            const double dt = std::min(kLongestFrame, std::chrono::duration<double>(now - last).count());
            last = now;
            if (activity_) settleFrames_ = kFramesAfterInput;
            activity_ = false;
            Frame(dt);
            if (settleFrames_ > 0) --settleFrames_;
        }
        status = status_;
        if (!host_->Finish() && status == kExitOk) status = kExitError;
        out_.flush();
        err_.flush();
        host_.reset();
    } catch (const std::exception& e) {
        out_.flush();
        std::cerr << "vantrel-host: fatal: " << e.what() << '\n';
        status = kExitError;
        host_.reset();
    }
    CloseWindow();
    return status;
}

// Whether the window must draw frames at full rate rather than wait for input.
bool Session::HaveWork() const {
    if (!paused_) return true;
    if (stepRequest_ > 0.0 || settleFrames_ > 0) return true;
    // A hook that sleeps leaves the window idle, as a user who looks away does.
    if ((hookIndex_ < hooks_.size() && hooks_[hookIndex_].verb != "sleep") || (syntheticMouse_ && mouseDown_)) {
        return true;
    }
    if (window_ != nullptr && glfwGetMouseButton(window_, GLFW_MOUSE_BUTTON_LEFT) == GLFW_PRESS) return true;
    return false;
}

Outcome Session::RunLine(const std::string& line, bool typed) {
    worldTouched_ = true;
    if (typed) console_.Add(ConsoleLine::Kind::Command, "vantrel> " + line);
    const CommandResult result = ExecuteCommand(line);
    if (result.outcome == Outcome::Quit) {
        quit_ = true;
    } else if (!result.ok() && typed) {
        out_.flush();
        err_ << "error: " << result.message << '\n';
        err_.flush();
    }
    return result.outcome;
}

// A command may render through Mesa's off-screen GL (`settings FILE.png`), which takes
// over the thread's current context behind GLX's back: the window's context is let go
// first and bound afresh after, so that GLX does bind it again.
CommandResult Session::ExecuteCommand(const std::string& line) {
    glfwMakeContextCurrent(nullptr);
    CommandResult result;
    try {
        result = host_->Execute(line);
    } catch (...) {
        glfwMakeContextCurrent(window_);
        throw;
    }
    glfwMakeContextCurrent(window_);
    return result;
}

// Moves the clock by `seconds` (the frame's share at the chosen speed, or a step): the
// script's waits take it first; without a running script the clock runs free.
void Session::MoveClock(double seconds) {
    if (script_.Running()) {
        script_.Play(seconds, Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                 std::chrono::duration<double>(kScriptSliceSeconds)));
        if (script_.Quit()) quit_ = true;
        if (script_.state() == ScriptPlayer::State::Failed) status_ = script_.ExitStatus();
        return;
    }
    if (seconds >= 1e-9) host_->AdvanceClock(seconds);
}

void Session::Frame(double dt) {
    glfwMakeContextCurrent(window_);

    // The clock: real time times the speed, unless paused; a step adds one second.
    const double seconds = (paused_ ? 0.0 : dt * speed_) + stepRequest_;
    stepRequest_ = 0.0;
    if (seconds > 0.0 || (!paused_ && script_.Running())) MoveClock(seconds);
    if (quit_) return;

    for (std::string& line : log_->Poll()) console_.Add(ConsoleLine::Kind::Log, std::move(line));

    int width = 0, height = 0;
    glfwGetWindowSize(window_, &width, &height);
    const SettingsView* settings = host_->SettingsWindowIfMade();
    layout_ = ComputeLayout(std::max(width, 1), std::max(height, 1), settings ? settings->Width() : 640,
                            settings ? settings->Height() : 360,
                            static_cast<float>(screen_->Width()) / static_cast<float>(screen_->Height()));

    ImGui::SetCurrentContext(gui_);
    ImGui_ImplOpenGL2_NewFrame();
    ImGui_ImplGlfw_NewFrame();
    ImGuiIO& io = ImGui::GetIO();
    RunHooks(io);
    ApplySyntheticInput(io);
    ImGui::NewFrame();
    ImGui::PushFont(sans_);

    DrawBar();
    DrawSide();
    DrawConsole();
    DrawSettings();
    if (quit_) {
        ImGui::PopFont();
        ImGui::EndFrame();
        return;
    }
    ShowGameScreen();
    ImGui::PopFont();
    ImGui::Render();
    // A frame is drawn only where it differs from what the window shows, and not at all when
    // it does not: with a software GL (Mesa's llvmpipe) drawing is most of a frame's cost.
    std::vector<Rect> areas;
    const bool changed = ChangedAreas(areas);
    if (!changed && !redrawAll_ && !screenshotPath_.empty() && keptBackBuffer_) {
        // The kept back buffer is what the window shows.
        Screenshot(screenshotPath_);
        screenshotPath_.clear();
    } else if (changed || redrawAll_ || !screenshotPath_.empty()) {
        // Without a kept back buffer every drawn frame is drawn whole.
        const bool partial =
            keptBackBuffer_ && !redrawAll_ && changed &&
            !(areas.size() == 1 && areas[0].w >= static_cast<float>(layout_.width) && areas[0].h >= static_cast<float>(layout_.height));
        if (!partial) areas.clear();
        redrawAll_ = false;
        const double renderStart = ProcessCpuSeconds();
        Render(areas);
        renderCpu_ += ProcessCpuSeconds() - renderStart;
        ++glFrames_;
        if (partial) ++partialFrames_;
    }
    ++renderedFrames_;
}

namespace {
void ClipTo(ImDrawData* data, const Rect& area, std::vector<ImVec4>& saved);
void Unclip(ImDrawData* data, const std::vector<ImVec4>& saved);
}  // namespace

// --- the game screen ------------------------------------------------------------------------

void Session::ShowGameScreen() {
    if (framesDrawn_ != framesShown_) {
        // The clock drew frames: show the latest.
        framesShown_ = framesDrawn_;
        screen_->Show(latest_);
        worldTouched_ = false;
    } else if (paused_ && worldTouched_) {
        // A stopped clock draws no frames; draw one so the screen shows what a command or
        // the settings changed.
        worldTouched_ = false;
        latest_.Clear();
        CountingCanvas counting(latest_, host_->calls());
        host_->backend().DrawFrame(counting);
        screen_->Show(latest_);
    }
    const Rect& r = layout_.screen;
    screenStale_ = screen_->Stale();
    const auto texture = reinterpret_cast<ImTextureID>(static_cast<std::intptr_t>(screen_->Texture()));
    ImGui::GetBackgroundDrawList()->AddImage(texture, ImVec2(r.x, r.y), ImVec2(r.x + r.w, r.y + r.h));
}

// --- the settings window --------------------------------------------------------------------

void Session::DrawSettings() {
    if (!host_->MenuOpen()) {
        const Rect& r = layout_.settings;
        BeginPanel("##settings_closed", r, ImGuiWindowFlags_NoDecoration);
        ImGui::TextDisabled("The settings window is closed.");
        ImGui::TextDisabled("Open it with the Settings button or vantrel_show_menu.");
        ImGui::End();
        settingsDrag_ = false;
        return;
    }
    ImGuiIO& io = ImGui::GetIO();
    const Rect& r = layout_.settings;
    const bool over = r.Contains(io.MousePos) && !io.WantCaptureMouse;
    if (!io.MouseDown[0]) {
        settingsDrag_ = false;
    } else if (io.MouseClicked[0]) {
        settingsDrag_ = over;
    }
    GuiInput input;
    if (over || settingsDrag_) {
        input.mouseX = io.MousePos.x - r.x;
        input.mouseY = io.MousePos.y - r.y;
        input.mouseDown = io.MouseDown[0] && settingsDrag_;
    }
    // A press or its release may write a console variable: a paused screen then redraws.
    if (input.mouseDown || settingsWasDown_) worldTouched_ = true;
    settingsWasDown_ = input.mouseDown;

    SettingsFrameOptions frameOptions;
    frameOptions.beforePanel = [this] {
        panelOrigin_ = ImGui::GetCursorScreenPos();
        panelLineStep_ = ImGui::GetTextLineHeightWithSpacing();
        panelRowStep_ = ImGui::GetFrameHeightWithSpacing();
        panelRowHeight_ = ImGui::GetFrameHeight();
        panelItemWidth_ = ImGui::CalcItemWidth();
    };
    const CommandResult drawn = host_->SettingsFrame(input, frameOptions);
    ImGui::SetCurrentContext(gui_);
    if (!drawn.ok()) {
        const Rect& s = layout_.settings;
        BeginPanel("##settings_missing", s, ImGuiWindowFlags_NoDecoration);
        ImGui::TextDisabled("%s", drawn.message.c_str());
        ImGui::End();
    }
}

// The settings window's own Dear ImGui context drew its frame; its draw data is rendered
// here, moved to its place in the window, with its font atlas uploaded to this GL context.
void Session::RenderSettings(const Rect* area) {
    SettingsView* settings = host_->SettingsWindowIfMade();
    if (settings == nullptr || !host_->MenuOpen()) return;
    auto* context = reinterpret_cast<ImGuiContext*>(settings->Context());
    ImGui::SetCurrentContext(context);
    ImDrawData* data = ImGui::GetDrawData();
    if (data != nullptr && data->Valid) {
        if (settingsAtlas_ == 0) {
            unsigned char* pixels = nullptr;
            int w = 0, h = 0;
            ImGui::GetIO().Fonts->GetTexDataAsRGBA32(&pixels, &w, &h);
            glGenTextures(1, &settingsAtlas_);
            glBindTexture(GL_TEXTURE_2D, settingsAtlas_);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
            glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
        }
        std::vector<ImTextureID> saved;
        for (int l = 0; l < data->CmdListsCount; ++l) {
            for (ImDrawCmd& cmd : data->CmdLists[l]->CmdBuffer) {
                saved.push_back(cmd.TextureId);
                cmd.TextureId = reinterpret_cast<ImTextureID>(static_cast<std::intptr_t>(settingsAtlas_));
            }
        }
        const ImVec2 pos = data->DisplayPos, size = data->DisplaySize, scale = data->FramebufferScale;
        data->DisplayPos = ImVec2(pos.x - layout_.settings.x, pos.y - layout_.settings.y);
        data->DisplaySize = ImVec2(static_cast<float>(layout_.width), static_cast<float>(layout_.height));
        ImGui::SetCurrentContext(gui_);
        data->FramebufferScale = ImGui::GetIO().DisplayFramebufferScale;
        std::vector<ImVec4> clips;
        if (area != nullptr) ClipTo(data, *area, clips);
        ImGui_ImplOpenGL2_RenderDrawData(data);
        if (area != nullptr) Unclip(data, clips);
        data->DisplayPos = pos;
        data->DisplaySize = size;
        data->FramebufferScale = scale;
        std::size_t i = 0;
        for (int l = 0; l < data->CmdListsCount; ++l) {
            for (ImDrawCmd& cmd : data->CmdLists[l]->CmdBuffer) cmd.TextureId = saved[i++];
        }
    }
    ImGui::SetCurrentContext(gui_);
}

namespace {

std::uint64_t Mix(std::uint64_t seed, std::uint64_t value) {
    return seed ^ (value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2));
}

std::uint64_t ListHash(const ImDrawList* list) {
    const std::hash<std::string_view> hash;
    std::uint64_t seed = hash(std::string_view(reinterpret_cast<const char*>(list->VtxBuffer.Data),
                                               static_cast<std::size_t>(list->VtxBuffer.size_in_bytes())));
    seed = Mix(seed, hash(std::string_view(reinterpret_cast<const char*>(list->IdxBuffer.Data),
                                           static_cast<std::size_t>(list->IdxBuffer.size_in_bytes()))));
    for (const ImDrawCmd& cmd : list->CmdBuffer) {
        seed = Mix(seed, reinterpret_cast<std::uintptr_t>(cmd.TextureId));
        seed = Mix(seed, cmd.ElemCount);
        seed = Mix(seed, std::hash<float>{}(cmd.ClipRect.x + 3.0f * cmd.ClipRect.y + 7.0f * cmd.ClipRect.z +
                                           11.0f * cmd.ClipRect.w));
    }
    return seed;
}

// The smallest whole-pixel rectangle holding both (an empty one adds nothing).
Rect Union(const Rect& a, const Rect& b) {
    if (b.w <= 0 || b.h <= 0) return a;
    if (a.w <= 0 || a.h <= 0) return b;
    const float left = std::min(a.x, b.x), top = std::min(a.y, b.y);
    return {left, top, std::max(a.x + a.w, b.x + b.w) - left, std::max(a.y + a.h, b.y + b.h) - top};
}

Rect Intersect(const Rect& a, const Rect& b) {
    const float left = std::max(a.x, b.x), top = std::max(a.y, b.y);
    const float right = std::min(a.x + a.w, b.x + b.w), bottom = std::min(a.y + a.h, b.y + b.h);
    if (right <= left || bottom <= top) return {};
    return {left, top, right - left, bottom - top};
}

Rect Outward(const Rect& r) {
    const float left = std::floor(r.x), top = std::floor(r.y);
    return {left, top, std::ceil(r.x + r.w) - left, std::ceil(r.y + r.h) - top};
}

// Where a draw list can draw, in window coordinates: inside both its vertices' bounds and
// its clip rectangles (a window's frame is clipped to the whole display, not to the
// window). A draw data's coordinates are `toWindow` away from the window's.
Rect ListArea(const ImDrawList* list, ImVec2 toWindow) {
    if (list->VtxBuffer.Size == 0) return {};
    ImVec2 min = list->VtxBuffer[0].pos, max = min;
    for (const ImDrawVert& v : list->VtxBuffer) {
        min = ImVec2(std::min(min.x, v.pos.x), std::min(min.y, v.pos.y));
        max = ImVec2(std::max(max.x, v.pos.x), std::max(max.y, v.pos.y));
    }
    Rect clips;
    for (const ImDrawCmd& cmd : list->CmdBuffer) {
        clips = Union(clips, Rect{cmd.ClipRect.x, cmd.ClipRect.y, cmd.ClipRect.z - cmd.ClipRect.x, cmd.ClipRect.w - cmd.ClipRect.y});
    }
    const Rect drawn = Intersect(Rect{min.x, min.y, max.x - min.x, max.y - min.y}, clips);
    return Outward(Rect{drawn.x + toWindow.x, drawn.y + toWindow.y, drawn.w, drawn.h});
}

// Narrows every clip rectangle of `data` to `area` (window coordinates), keeping the old
// ones in `saved` for Unclip. The backend skips commands whose rectangle ends up empty.
void ClipTo(ImDrawData* data, const Rect& area, std::vector<ImVec4>& saved) {
    saved.clear();
    const ImVec2 off = data->DisplayPos;  // the backend draws clip point c at c - DisplayPos
    for (int l = 0; l < data->CmdListsCount; ++l) {
        for (ImDrawCmd& cmd : data->CmdLists[l]->CmdBuffer) {
            saved.push_back(cmd.ClipRect);
            ImVec4& c = cmd.ClipRect;
            c.x = std::max(c.x, area.x + off.x);
            c.y = std::max(c.y, area.y + off.y);
            c.z = std::max(c.x, std::min(c.z, area.x + area.w + off.x));
            c.w = std::max(c.y, std::min(c.w, area.y + area.h + off.y));
        }
    }
}

void Unclip(ImDrawData* data, const std::vector<ImVec4>& saved) {
    std::size_t i = 0;
    for (int l = 0; l < data->CmdListsCount; ++l) {
        for (ImDrawCmd& cmd : data->CmdLists[l]->CmdBuffer) cmd.ClipRect = saved[i++];
    }
}

}  // namespace

namespace {

// Adds `r` to the areas to draw. It is merged with an area when their bounding rectangle
// is no larger than the two apart, so that an L of changes does not become a large box;
// areas may overlap (drawing a place twice shows the same). Past four areas they become
// one, as each area is a pass over every draw list.
void AddArea(std::vector<Rect>& areas, Rect r) {
    if (r.w <= 0 || r.h <= 0) return;
    const auto size = [](const Rect& a) { return a.w * a.h; };
    for (bool merged = true; merged;) {
        merged = false;
        for (auto it = areas.begin(); it != areas.end(); ++it) {
            const Rect both = Union(r, *it);
            if (size(both) <= size(r) + size(*it)) {
                r = both;
                areas.erase(it);
                merged = true;
                break;
            }
        }
    }
    areas.push_back(r);
    if (areas.size() > 4) {
        Rect all;
        for (const Rect& a : areas) all = Union(all, a);
        areas.assign(1, all);
    }
}

}  // namespace

// Whether the window would show anything other than it shows, and where: the draw lists
// of both Dear ImGui frames that changed (where they drew before and where they draw now)
// and the part of the game screen uploaded this frame. A change of size or of the number
// of lists (a window or a popup opening or closing) takes the whole window.
bool Session::ChangedAreas(std::vector<Rect>& areas) {
    std::vector<ShownList> now;
    now.reserve(shown_.size());
    const auto collect = [&now](const ImDrawData* data, ImVec2 toWindow, std::uint64_t salt) {
        if (data == nullptr || !data->Valid) return;
        for (int l = 0; l < data->CmdListsCount; ++l) {
            now.push_back({Mix(ListHash(data->CmdLists[l]), salt), ListArea(data->CmdLists[l], toWindow)});
        }
    };
    collect(ImGui::GetDrawData(), ImVec2(0, 0), 0);
    if (SettingsView* settings = host_->SettingsWindowIfMade(); settings != nullptr && host_->MenuOpen()) {
        ImGui::SetCurrentContext(reinterpret_cast<ImGuiContext*>(settings->Context()));
        const ImDrawData* data = ImGui::GetDrawData();
        if (data != nullptr) {
            collect(data, ImVec2(layout_.settings.x - data->DisplayPos.x, layout_.settings.y - data->DisplayPos.y), 1);
        }
        ImGui::SetCurrentContext(gui_);
    }
    int w = 0, h = 0;
    glfwGetFramebufferSize(window_, &w, &h);
    const Rect window{0, 0, static_cast<float>(layout_.width), static_cast<float>(layout_.height)};

    areas.clear();
    if (now.size() != shown_.size() || w != shownWidth_ || h != shownHeight_) {
        areas.push_back(window);
    } else {
        for (std::size_t i = 0; i < now.size(); ++i) {
            if (now[i].hash == shown_[i].hash) continue;
            AddArea(areas, Intersect(now[i].area, window));
            AddArea(areas, Intersect(shown_[i].area, window));
        }
    }
    if (!screenStale_.Empty()) {
        // The uploaded texels, scaled into the screen's place, with two pixels more on each
        // side for the bilinear filter's reach.
        const Rect& r = layout_.screen;
        const float sx = r.w / static_cast<float>(screen_->Width()), sy = r.h / static_cast<float>(screen_->Height());
        const Rect texels{r.x + static_cast<float>(screenStale_.x) * sx - 2.0f, r.y + static_cast<float>(screenStale_.y) * sy - 2.0f,
                          static_cast<float>(screenStale_.w) * sx + 4.0f, static_cast<float>(screenStale_.h) * sy + 4.0f};
        AddArea(areas, Intersect(Intersect(Outward(texels), r), window));
        screenStale_ = {};
    }
    shown_ = std::move(now);
    shownWidth_ = w;
    shownHeight_ = h;
    return !areas.empty();
}

// Whether the back buffer keeps what was drawn into it across a swap (a software GL
// copies it to the window; a GPU driver may hand over another buffer). Two clears of
// different grey, each swapped and read back: both must read back as drawn.
bool Session::ProbeKeptBackBuffer() {
    bool kept = true;
    for (const int grey : {40, 200}) {
        const float g = static_cast<float>(grey) / 255.0f;
        glClearColor(g, g, g, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glfwSwapBuffers(window_);
        std::array<unsigned char, 4> pixel{};
        glReadBuffer(GL_BACK);
        glReadPixels(0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel.data());
        kept = kept && std::abs(static_cast<int>(pixel[0]) - grey) <= 1;
    }
    return kept;
}

// Draws the frame: whole when `areas` is empty, else only inside each of them.
void Session::Render(const std::vector<Rect>& areas) {
    int fbWidth = 0, fbHeight = 0;
    glfwGetFramebufferSize(window_, &fbWidth, &fbHeight);
    glViewport(0, 0, fbWidth, fbHeight);
    glClearColor(0.08f, 0.08f, 0.09f, 1.0f);
    if (areas.empty()) {
        DrawArea(nullptr);
    } else {
        for (const Rect& area : areas) DrawArea(&area);
    }
    if (!screenshotPath_.empty()) {
        Screenshot(screenshotPath_);
        screenshotPath_.clear();
    }
    glfwSwapBuffers(window_);
}

// Clears and draws the window, or only `area` of it: the rest of the kept back buffer
// already shows the same.
void Session::DrawArea(const Rect* area) {
    if (area != nullptr) {
        int fbWidth = 0, fbHeight = 0;
        glfwGetFramebufferSize(window_, &fbWidth, &fbHeight);
        const ImVec2 scale = ImGui::GetIO().DisplayFramebufferScale;
        glEnable(GL_SCISSOR_TEST);
        glScissor(static_cast<int>(area->x * scale.x), static_cast<int>(static_cast<float>(fbHeight) - (area->y + area->h) * scale.y),
                  static_cast<int>(area->w * scale.x), static_cast<int>(area->h * scale.y));
    }
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
    RenderSettings(area);
    ImDrawData* data = ImGui::GetDrawData();
    std::vector<ImVec4> saved;
    if (area != nullptr) ClipTo(data, *area, saved);
    ImGui_ImplOpenGL2_RenderDrawData(data);
    if (area != nullptr) Unclip(data, saved);
}

// --- the control bar, the side panel and the console -----------------------------------------

bool Session::Button(const char* label, const char* control) {
    const bool pressed = ImGui::Button(label);
    const ImVec2 min = ImGui::GetItemRectMin(), max = ImGui::GetItemRectMax();
    controls_[control != nullptr ? control : label] = {min.x, min.y, max.x - min.x, max.y - min.y};
    return pressed;
}

void Session::DrawBar() {
    const Rect& r = layout_.bar;
    BeginPanel("##bar", r, ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoScrollWithMouse);
    World& world = host_->world();

    // First row: the clock, the script and the counts a developer watches.
    ImGui::AlignTextToFramePadding();
    // Running labels (the clock, a script's wait, the redraw count) change at a reading
    // pace, ten times a second of real time: each change costs a drawn frame. A paused
    // clock shows its value at once (a step is seen as it is made).
    if (paused_ || Clock::now() >= labelsDue_) {
        labelsDue_ = Clock::now() + std::chrono::milliseconds(100);
        clockLabel_ = world.Now();
        waitLabel_ = script_.WaitLeft();
        redrawsLabel_ = screen_->Redraws();
    }
    ImGui::Text("Clock %9.1f s", clockLabel_);
    ImGui::SameLine();
    if (Button(paused_ ? "Run##pause" : "Pause##pause", "pause")) paused_ = !paused_;
    for (const double speed : kSpeeds) {
        ImGui::SameLine();
        const bool current = speed_ == speed && !paused_;
        if (current) ImGui::PushStyleColor(ImGuiCol_Button, ImGui::GetStyleColorVec4(ImGuiCol_ButtonActive));
        const std::string label = fmt::format("{:g}x", speed);
        if (Button(label.c_str())) {
            speed_ = speed;
            paused_ = false;
        }
        if (current) ImGui::PopStyleColor();
    }
    ImGui::SameLine();
    if (Button("+1 s", "step")) stepRequest_ += 1.0;
    ImGui::SameLine();
    ImGui::TextDisabled(paused_ ? "(paused)" : "(%gx)", speed_);
    ImGui::SameLine(0, 24);
    switch (script_.state()) {
        case ScriptPlayer::State::None: ImGui::TextDisabled("no script"); break;
        case ScriptPlayer::State::Running:
            if (script_.Waiting()) {
                ImGui::Text("%s: line %llu, waiting %.1f s", script_.Name().c_str(),
                            static_cast<unsigned long long>(script_.LineNumber()), waitLabel_);
            } else {
                ImGui::Text("%s: line %llu", script_.Name().c_str(),
                            static_cast<unsigned long long>(script_.LineNumber()));
            }
            break;
        case ScriptPlayer::State::Ended: ImGui::TextDisabled("%s: ended", script_.Name().c_str()); break;
        case ScriptPlayer::State::Failed:
            ImGui::TextColored(ImVec4(1, 0.4f, 0.4f, 1), "%s: stopped at line %llu", script_.Name().c_str(),
                               static_cast<unsigned long long>(script_.LineNumber()));
            break;
    }
    ImGui::SameLine(0, 24);
    const std::uint64_t escaped = host_->EscapedExceptions();
    const std::uint64_t invalid = host_->backend().InvalidHandleUses();
    const ImVec4 quiet = ImGui::GetStyleColorVec4(ImGuiCol_TextDisabled);
    const ImVec4 alarm(1.0f, 0.35f, 0.35f, 1.0f);
    ImGui::TextColored(escaped > 0 ? alarm : quiet, "escaped exceptions: %llu", static_cast<unsigned long long>(escaped));
    ImGui::SameLine();
    ImGui::TextColored(invalid > 0 ? alarm : quiet, "invalid handle uses: %llu", static_cast<unsigned long long>(invalid));

    // Second row: the game and the common moves.
    const GameState& game = world.Game();
    ImGui::AlignTextToFramePadding();
    if (game.inGame) {
        ImGui::Text("In a match: playlist %d, team %d%s", game.playlist, game.team, game.online ? "" : ", offline");
    } else {
        ImGui::Text("In the menus");
    }
    ImGui::SameLine(0, 24);
    ImGui::SetNextItemWidth(110);
    ImGui::Combo("##playlist", &playlistChoice_, [](void*, int i, const char** text) {
        *text = kPlaylists[i].name;
        return true;
    }, nullptr, static_cast<int>(std::size(kPlaylists)));
    const int playlist = kPlaylists[playlistChoice_].playlist;
    ImGui::SameLine();
    ImGui::SetNextItemWidth(70);
    ImGui::InputInt("team", &team_);
    ImGui::SameLine();
    if (Button("Start match", "start")) RunLine(fmt::format("match start {} team {}", playlist, team_), true);
    ImGui::SameLine();
    if (Button("Won", "won")) RunLine("match end win", true);
    ImGui::SameLine();
    if (Button("Lost", "lost")) RunLine("match end loss", true);
    ImGui::SameLine();
    if (Button("Scoreboard", "scoreboard open")) RunLine("scoreboard open", true);
    ImGui::SameLine();
    if (Button("Close it", "scoreboard close")) RunLine("scoreboard close", true);
    ImGui::SameLine();
    if (Button("Leave", "leave")) RunLine("leave", true);
    ImGui::SameLine(0, 24);
    ImGui::SetNextItemWidth(90);
    ImGui::InputFloat("##rating", &rating_, 0, 0, "%.2f");
    ImGui::SameLine();
    ImGui::SetNextItemWidth(50);
    ImGui::InputFloat("s##after", &ratingAfter_, 0, 0, "%.0f");
    ImGui::SameLine();
    if (Button("Set rating", "rating")) {
        if (ratingAfter_ > 0.0f) {
            RunLine(fmt::format("mmr {} {} after {:g}", playlist, rating_, ratingAfter_), true);
        } else {
            RunLine(fmt::format("mmr {} {}", playlist, rating_), true);
        }
    }
    ImGui::SameLine(0, 24);
    if (Button(host_->MenuOpen() ? "Close settings" : "Settings", "settings")) {
        if (host_->MenuOpen()) {
            host_->CloseSettingsMenu();
        } else {
            RunLine("openmenu Vantrel", true);
        }
    }
    ImGui::End();
}

void Session::DrawSide() {
    const Rect& r = layout_.side;
    BeginPanel("Session", r, ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoCollapse);
    World& world = host_->world();
    ImGui::Text("Plug-ins loaded: %zu", host_->LoadedPlugins());
    ImGui::Text("Pending: %zu timers, %zu world changes", world.PendingEvents(World::EventKind::Timer),
                world.PendingEvents(World::EventKind::WorldChange));
    ImGui::TextDisabled("Game screen redrawn %llu times", static_cast<unsigned long long>(redrawsLabel_));
    ImGui::End();
}

void Session::DrawConsole() {
    const Rect& r = layout_.console;
    BeginPanel("Console", r, ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoCollapse);
    ImGui::PushFont(mono_);
    const float inputHeight = ImGui::GetFrameHeightWithSpacing();
    ImGui::BeginChild("##output", ImVec2(0, -inputHeight), false, ImGuiWindowFlags_HorizontalScrollbar);
    const auto& lines = console_.Lines();
    ImGuiListClipper clipper;
    clipper.Begin(static_cast<int>(lines.size()));
    while (clipper.Step()) {
        for (int i = clipper.DisplayStart; i < clipper.DisplayEnd; ++i) {
            const ConsoleLine& line = lines[static_cast<std::size_t>(i)];
            ImVec4 colour = ImGui::GetStyleColorVec4(ImGuiCol_Text);
            switch (line.kind) {
                case ConsoleLine::Kind::Out: break;
                case ConsoleLine::Kind::Err: colour = ImVec4(1.0f, 0.45f, 0.45f, 1.0f); break;
                case ConsoleLine::Kind::Command: colour = ImVec4(0.55f, 0.75f, 1.0f, 1.0f); break;
                case ConsoleLine::Kind::Log: colour = ImVec4(0.6f, 0.9f, 0.6f, 1.0f); break;
                case ConsoleLine::Kind::Note: colour = ImGui::GetStyleColorVec4(ImGuiCol_TextDisabled); break;
            }
            ImGui::PushStyleColor(ImGuiCol_Text, colour);
            if (line.kind == ConsoleLine::Kind::Log) {
                ImGui::TextUnformatted("log ");
                ImGui::SameLine(0, 0);
            }
            ImGui::TextUnformatted(line.text.data(), line.text.data() + line.text.size());
            ImGui::PopStyleColor();
        }
    }
    // New lines scroll the output down, unless the user scrolled up to read.
    if (console_.Added() != consoleSeen_) {
        if (scrollToEnd_ || ImGui::GetScrollY() >= ImGui::GetScrollMaxY() - 4.0f) ImGui::SetScrollHereY(1.0f);
        consoleSeen_ = console_.Added();
        scrollToEnd_ = false;
    }
    ImGui::EndChild();

    ImGui::SetNextItemWidth(-1);
    if (focusConsole_) {
        ImGui::SetKeyboardFocusHere();
        focusConsole_ = false;
    }
    const auto history = [](ImGuiInputTextCallbackData* data) -> int {
        auto* self = static_cast<Session*>(data->UserData);
        if (data->EventFlag != ImGuiInputTextFlags_CallbackHistory || self->history_.empty()) return 0;
        const int count = static_cast<int>(self->history_.size());
        if (data->EventKey == ImGuiKey_UpArrow) {
            self->historyPos_ = self->historyPos_ < 0 ? count - 1 : std::max(0, self->historyPos_ - 1);
        } else if (data->EventKey == ImGuiKey_DownArrow) {
            if (self->historyPos_ >= 0 && ++self->historyPos_ >= count) self->historyPos_ = -1;
        }
        data->DeleteChars(0, data->BufTextLen);
        if (self->historyPos_ >= 0) data->InsertChars(0, self->history_[static_cast<std::size_t>(self->historyPos_)].c_str());
        return 0;
    };
    const bool entered = ImGui::InputTextWithHint(
        "##input", "command (help lists them; up and down: history)", input_.data(), input_.size(),
        ImGuiInputTextFlags_EnterReturnsTrue | ImGuiInputTextFlags_CallbackHistory, history, this);
    consoleActive_ = ImGui::IsItemActive();
    ImGui::PopFont();
    ImGui::End();
    if (entered) {
        const std::string line(input_.data());
        input_.fill('\0');
        historyPos_ = -1;
        if (!line.empty() && (history_.empty() || history_.back() != line)) history_.push_back(line);
        focusConsole_ = true;
        scrollToEnd_ = true;
        RunLine(line, true);
    }
}

// --- test hooks ---------------------------------------------------------------------------

void Session::RunHooks(ImGuiIO& io) {
    if (releaseKey_ >= 0) {
        io.KeysDown[releaseKey_] = false;
        releaseKey_ = -1;
        return;
    }
    while (hookIndex_ < hooks_.size()) {
        const HookStep& step = hooks_[hookIndex_];
        if (step.verb == "frames") {
            if (hookFrames_ == 0) hookFrames_ = std::max(1, std::atoi(step.rest.c_str()));
            if (--hookFrames_ > 0) return;
        } else if (step.verb == "sleep") {
            if (hookUntil_ == Clock::time_point{}) {
                hookUntil_ = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                std::chrono::duration<double>(std::atof(step.rest.c_str())));
            }
            if (Clock::now() < hookUntil_) return;
            hookUntil_ = {};
        } else if (step.verb == "mouse") {
            if (!HookTarget(step.rest, mouse_)) err_ << "vantrel-host: hook: no target '" << step.rest << "'\n";
            syntheticMouse_ = true;
            ++hookIndex_;
            return;  // one input change a frame, as a user makes them
        } else if (step.verb == "press" || step.verb == "release") {
            syntheticMouse_ = true;
            mouseDown_ = step.verb == "press";
            ++hookIndex_;
            return;
        } else if (step.verb == "type") {
            if (!consoleActive_) {
                focusConsole_ = true;
                return;
            }
            io.AddInputCharactersUTF8(step.rest.c_str());
            ++hookIndex_;
            return;
        } else if (step.verb == "key") {
            const int key = step.rest == "enter" ? GLFW_KEY_ENTER
                            : step.rest == "up"  ? GLFW_KEY_UP
                            : step.rest == "down" ? GLFW_KEY_DOWN
                                                  : -1;
            if (key >= 0) {
                io.KeysDown[key] = true;
                releaseKey_ = key;
            }
            ++hookIndex_;
            return;
        } else if (step.verb == "screenshot") {
            screenshotPath_ = step.rest;
        } else if (step.verb == "redraw") {
            redrawAll_ = true;  // the next frame is drawn whole, as after an expose
        } else if (step.verb == "layout") {
            WriteLayout(step.rest);
        } else if (step.verb == "cpu") {
            // cpu start / cpu report FILE: the process's CPU time (every thread, the GL
            // driver's included) per frame and per second of real time in between.
            if (step.rest == "start") {
                cpuStart_ = ProcessCpuSeconds();
                wallStart_ = Clock::now();
                framesAtStart_ = renderedFrames_;
                renderCpuAtStart_ = renderCpu_;
                glFramesAtStart_ = glFrames_;
                partialFramesAtStart_ = partialFrames_;
            } else if (step.rest.rfind("report ", 0) == 0) {
                const double cpu = ProcessCpuSeconds() - cpuStart_;
                const double wall = std::chrono::duration<double>(Clock::now() - wallStart_).count();
                const std::uint64_t frames = renderedFrames_ - framesAtStart_;
                const double render = renderCpu_ - renderCpuAtStart_;
                const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
                std::ofstream(step.rest.substr(7))
                    << "renderer " << (renderer != nullptr ? renderer : "?") << '\n'
                    << fmt::format("gl_cpu_ms_per_frame {:.3f}\n",
                                   frames > 0 ? 1000.0 * render / static_cast<double>(frames) : 0.0)
                    << fmt::format("frames {}\ncpu_seconds {:.4f}\nwall_seconds {:.4f}\ncpu_ms_per_frame {:.3f}\n"
                                   "cpu_share_percent {:.2f}\nscreen_redraws {}\ngl_frames {}\n"
                                   "partial_gl_frames {}\n",
                                   frames, cpu, wall, frames > 0 ? 1000.0 * cpu / static_cast<double>(frames) : 0.0,
                                   wall > 0 ? 100.0 * cpu / wall : 0.0, screen_->Redraws(), glFrames_ - glFramesAtStart_,
                                   partialFrames_ - partialFramesAtStart_);
            }
        } else if (step.verb == "script") {
            if (script_.Running()) return;
        } else if (step.verb == "close") {
            glfwSetWindowShouldClose(window_, GLFW_TRUE);
        }
        ++hookIndex_;
    }
}

bool Session::SleepHookDue() const {
    if (hookIndex_ >= hooks_.size() || hooks_[hookIndex_].verb != "sleep") return false;
    return hookUntil_ == Clock::time_point{} || Clock::now() >= hookUntil_;
}

// A point named by a hook: "X Y", "checkbox", "slider1 F" or "slider2 F" (F of the way
// across), or "control NAME" (the middle of a control of the bar).
bool Session::HookTarget(const std::string& target, ImVec2& point) const {
    std::istringstream in(target);
    std::string first;
    in >> first;
    const float x = layout_.settings.x + panelOrigin_.x;
    const float y = layout_.settings.y + panelOrigin_.y + panelLineStep_ + panelRowHeight_ / 2;
    if (first == "checkbox") {
        point = ImVec2(x + panelRowHeight_ / 2, y);
        return true;
    }
    if (first == "slider1" || first == "slider2") {
        float fraction = 0.0f;
        in >> fraction;
        const float row = first == "slider1" ? 1.0f : 2.0f;
        point = ImVec2(x + panelItemWidth_ * fraction, y + row * panelRowStep_);
        return true;
    }
    if (first == "control") {
        std::string name;
        std::getline(in >> std::ws, name);
        const auto found = controls_.find(name);
        if (found == controls_.end()) return false;
        const Rect& r = found->second;
        point = ImVec2(r.x + r.w / 2, r.y + r.h / 2);
        return true;
    }
    std::istringstream numbers(target);
    return static_cast<bool>(numbers >> point.x >> point.y);
}

void Session::ApplySyntheticInput(ImGuiIO& io) {
    if (!syntheticMouse_) return;
    io.MousePos = mouse_;
    io.MouseDown[0] = mouseDown_;
}

void Session::WriteLayout(const std::string& path) {
    std::ofstream out(path);
    const auto rect = [&](const char* name, const Rect& r) {
        out << name << ' ' << r.x << ' ' << r.y << ' ' << r.w << ' ' << r.h << '\n';
    };
    out << "window " << layout_.width << ' ' << layout_.height << '\n';
    rect("screen", layout_.screen);
    if (host_->MenuOpen()) {
        rect("settings", layout_.settings);
        const float x = layout_.settings.x + panelOrigin_.x;
        const float y = layout_.settings.y + panelOrigin_.y + panelLineStep_;
        out << "checkbox " << x + panelRowHeight_ / 2 << ' ' << y + panelRowHeight_ / 2 << '\n';
        for (int slider = 1; slider <= 2; ++slider) {
            out << "slider" << slider << ' ' << x << ' ' << x + panelItemWidth_ << ' '
                << y + static_cast<float>(slider) * panelRowStep_ + panelRowHeight_ / 2 << '\n';
        }
    }
    rect("console", layout_.console);
    for (const auto& [name, r] : controls_) {
        out << "control " << name << ' ' << r.x << ' ' << r.y << ' ' << r.w << ' ' << r.h << '\n';
    }
    out << "clock " << fmt::format("{:.9f}", host_->world().Now()) << '\n';
    out << "paused " << (paused_ ? 1 : 0) << '\n';
    out << "speed " << speed_ << '\n';
}

void Session::Screenshot(const std::string& path) {
    int w = 0, h = 0;
    glfwGetFramebufferSize(window_, &w, &h);
    std::vector<std::uint8_t> bottomUp(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
    std::vector<std::uint8_t> rgba(bottomUp.size());
    const std::size_t row = static_cast<std::size_t>(w) * 4;
    for (int y = 0; y < h; ++y) {
        std::copy_n(bottomUp.data() + static_cast<std::size_t>(h - 1 - y) * row, row,
                    rgba.data() + static_cast<std::size_t>(y) * row);
    }
    std::string error;
    if (!WriteRgbaPng(rgba, w, h, path, error)) err_ << "vantrel-host: screenshot: " << error << '\n';
}

}  // namespace

int RunWindowSession(const WindowOptions& options) {
    Session session(options);
    return session.Run();
}

}  // namespace vhost
