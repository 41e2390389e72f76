// The window's session, inside host/window: one Host played in a GLFW window. The class is
// split by concern over several files:
//   window_session.cpp  opening the window, the frame loop, the clock, running lines, the end
//   window_render.cpp   drawing with GL: the changed areas only (Presenter), the settings
//                       window's own frame, screenshots
//   window_panels.cpp   the control bar, the session panel, the console
//   window_screen.cpp   the game screen (with its zoom) and the settings window in the window
//   window_hooks.cpp    the test hooks (VANTREL_WINDOW_HOOKS) and the layout and CPU reports
#pragma once

#include <GLFW/glfw3.h>
#include <imgui.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "console_buffer.h"
#include "game_screen.h"
#include "host.h"
#include "input_queue.h"
#include "layout.h"
#include "presenter.h"
#include "recording_canvas.h"
#include "script_player.h"
#include "window_session.h"

namespace vhost {

using SteadyClock = std::chrono::steady_clock;

// Begins a Dear ImGui window fixed at `area`: the layout, not the user, places the panels.
void BeginPanel(const char* name, const Rect& area, ImGuiWindowFlags flags);

// One step of the test hooks: its verb and the rest of the line.
struct HookStep {
    std::string verb;
    std::string rest;
};
std::vector<HookStep> ReadHooks(const char* path);

class Session {
public:
    explicit Session(const WindowOptions& options);
    int Run();

private:
    // window_session.cpp
    bool OpenWindow();
    void CloseWindow();
    void InstallCallbacks();
    bool HaveWork() const;
    void Frame(double dt);
    void MoveClock(double seconds);
    Outcome RunLine(const std::string& line, bool typed);
    CommandResult ExecuteCommand(const std::string& line);
    void OpenSettingsAtStart();

    // window_render.cpp
    void Present();
    void Render(const std::vector<Rect>& areas);
    void DrawArea(const Rect* area);
    void RenderSettings(const Rect* area);
    bool ProbeKeptBackBuffer();
    void Screenshot(const std::string& path);

    // window_panels.cpp
    void DrawBar();
    void DrawSide();
    void DrawConsole();
    bool Button(const char* label, float width = 0.0f);
    void Record(const std::string& label);
    int BarRows(float width) const;

    // window_screen.cpp
    void ShowGameScreen();
    void DrawSettings();
    Rect ScreenView() const;  // the part of the game screen shown, in game pixels
    Rect ScreenToWindow(const Rect& game) const;
    void ZoomAt(float factor, float windowX, float windowY);
    void ZoomOneToOne();

    // window_hooks.cpp
    void RunHooks(ImGuiIO& io);
    void ApplySyntheticInput(ImGuiIO& io);
    bool HookTarget(const std::string& target, ImVec2& point);
    bool SleepHookDue() const;
    void WriteLayout(const std::string& path);
    void WriteCpuReport(const std::string& path);

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
    InputQueue keys_;
    bool activity_ = true;  // input or a resize since the last frame
    int settleFrames_ = 3;

    // The clock and the script.
    struct {
        double speed = 1.0;
        bool paused = false;
        double stepRequest = 0.0;
    } clock_;
    ScriptPlayer script_;
    int status_ = kExitOk;
    bool quit_ = false;
    bool worldTouched_ = true;  // a command ran: a paused screen needs a fresh frame

    // The game screen and how it is shown.
    std::unique_ptr<GameScreen> screen_;
    RecordingCanvas latest_;
    std::uint64_t framesDrawn_ = 0;
    std::uint64_t framesShown_ = 0;
    struct {
        float zoom = 1.0f;                // 1: the whole screen fits; more: closer
        float centreX = 960, centreY = 540;  // the shown part's centre, in game pixels
        bool panning = false;
        ImVec2 panFrom{};
    } view_;

    // The settings window in the window.
    struct {
        unsigned int atlas = 0;
        bool drag = false;
        bool wasDown = false;
    } settings_;

    // The console's input line and its history.
    struct {
        std::array<char, 1024> input{};
        std::vector<std::string> history;
        int historyPos = -1;
        bool focus = true;
        bool active = false;
        bool toEnd = true;    // show the newest line on the next frame
        bool follow = true;   // the output follows its newest line (unless scrolled up)
        std::uint64_t seen = 0;
        float lastHeight = 0;
        float scrollY = 0, scrollMax = 0;  // as last drawn (for the layout report)
    } consolePanel_;

    // The control bar: its inputs, the widgets' places by label, the slowly changing labels.
    struct {
        int playlistChoice = 1;
        int team = 0;
        float rating = 1000.0f;
        float ratingAfter = 3.0f;
        bool withResult = true;  // Won and Lost also have the server report the rating
        Rect state;
        SteadyClock::time_point labelsDue{};
        double clockLabel = 0.0;
        double waitLabel = 0.0;
        std::uint64_t redrawsLabel = 0;
    } bar_;
    std::map<std::string, Rect> widgets_;  // the window's own widgets by label, window pixels

    // Drawing.
    Presenter presenter_;
    Rect uploaded_;  // where the game screen changed this frame, window pixels
    bool lost_ = false;  // the window system went away (the window destroyed from outside)
    struct {
        std::uint64_t rendered = 0, gl = 0, partial = 0;
        double renderCpu = 0.0;
    } frames_;

    // Test hooks.
    struct {
        std::vector<HookStep> steps;
        std::size_t index = 0;
        int frames = 0;
        SteadyClock::time_point until{};
        bool mouse = false;
        ImVec2 mousePos{-1, -1};
        bool mouseDown = false;
        std::string screenshot;
        std::string widgetLabel;  // a plug-in widget asked for by its label
        int widgetFrames = 0;
        std::map<std::string, Rect> panelWidgets;  // found, relative to the settings window
        double cpuStart = 0.0, renderCpuAtStart = 0.0;
        SteadyClock::time_point wallStart{};
        std::uint64_t renderedAtStart = 0, glAtStart = 0, partialAtStart = 0;
    } hooks_;

    friend void OnWindowLost(Session& session);
};

double ProcessCpuSeconds();

}  // namespace vhost
