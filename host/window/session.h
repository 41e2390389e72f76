// The window's session, inside host/window: one Host played in a GLFW window. The class
// holds the window's parts and is written over several files, one concern each:
//   session.cpp           the frame loop (woken by input and by the session's own output),
//                         the clock, running lines, the empty evening, the end
//   session_window.cpp    opening the window inside the monitor's work area, its callbacks,
//                         the X connection watched for loss
//   session_screen.cpp    the game screen in the window: fresh frames, zoom and pan by mouse
//   session_settings.cpp  the settings window in the window: the mouse routed to it, its own
//                         Dear ImGui frame drawn in its place
//   session_render.cpp    drawing with GL: the changed areas only (Presenter), screenshots
// Its panels are classes of their own: control_bar.h, console_panel.h, and the game screen's
// view is game_view.h.
#pragma once

#include <GLFW/glfw3.h>
#include <imgui.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "core/host.h"
#include "core/script_player.h"
#include "window/console_buffer.h"
#include "window/console_panel.h"
#include "window/control_bar.h"
#include "window/game_screen.h"
#include "window/game_view.h"
#include "window/input_queue.h"
#include "window/layout.h"
#include "window/presenter.h"
#include "window/recording_canvas.h"
#include "window/widget_places.h"
#include "window/window_driver.h"
#include "window/window_session.h"

namespace vhost {

using SteadyClock = std::chrono::steady_clock;

class Session final : public DrivenWindow {
public:
    explicit Session(WindowOptions options);
    int Run();

    // DrivenWindow: what a driver sees (window_driver.h).
    GLFWwindow* Native() override { return window_; }
    Host& host() override { return *host_; }
    InputQueue& Keys() override { return keys_; }
    void FocusConsole() override { consolePanel_.Focus(); }
    void RedrawWhole() override { presenter_.Invalidate(); }
    void Screenshot(const std::string& path) override { screenshot_ = path; }
    bool ScriptRunning() const override { return script_.Running(); }
    WindowReport Report() const override;

private:
    // session.cpp
    void StartEmptyEvening();
    void OpenSettingsAtStart();
    bool HaveWork() const;
    void Frame(double dt);
    void MoveClock(double seconds);
    Outcome RunLine(const std::string& line, bool typed);
    CommandResult ExecuteCommand(const std::string& line);
    void Wake();

    // session_window.cpp
    bool OpenWindow();
    void CloseWindow();
    void InstallCallbacks();

    // session_screen.cpp
    void ShowGameScreen();

    // session_settings.cpp
    void DrawSettings();
    void RenderSettings(const Rect* area);

    // session_render.cpp
    void Present();
    void Render(const std::vector<Rect>& areas);
    void DrawArea(const Rect* area);
    bool ProbeKeptBackBuffer();
    void WriteScreenshot(const std::string& path);

    WindowOptions options_;
    ConsoleBuffer console_;
    ConsoleTee outTee_;
    ConsoleTee errTee_;
    std::ostream out_;
    std::ostream err_;
    std::unique_ptr<Host> host_;
    std::unique_ptr<FileTail> log_;
    std::unique_ptr<WindowDriver> driver_;  // the tests' (window_driver.h); none for a person

    GLFWwindow* window_ = nullptr;
    ImGuiContext* gui_ = nullptr;
    ImFont* sans_ = nullptr;
    ImFont* mono_ = nullptr;
    Layout layout_;
    InputQueue keys_;
    bool activity_ = true;  // input or a resize since the last frame
    int settleFrames_ = 3;
    std::uint64_t consoleSeen_ = 0;  // console lines added by the last frame drawn

    // The clock and the script.
    ClockControl clock_;
    ScriptPlayer script_;
    int status_ = kExitOk;
    bool quit_ = false;
    bool worldTouched_ = true;  // a command ran: a paused screen needs a fresh frame

    // The game screen and how it is shown.
    std::unique_ptr<GameScreen> screen_;
    RecordingCanvas latest_;
    std::uint64_t framesDrawn_ = 0;
    std::uint64_t framesShown_ = 0;
    GameView view_{1920.0f, 1080.0f};
    bool panning_ = false;

    // The settings window in the window.
    struct {
        unsigned int atlas = 0;
        bool drag = false;
        bool wasDown = false;
    } settings_;

    // The panels.
    ControlBar bar_;
    ConsolePanel consolePanel_;
    WidgetPlaces widgets_;

    // Drawing.
    Presenter presenter_;
    Rect uploaded_;  // where the game screen changed this frame, window pixels
    std::string screenshot_;  // asked for: written when this frame is drawn
    FrameCounts frames_;
    bool lost_ = false;  // the window system went away (the window destroyed from outside)

    friend void OnWindowLost(Session& session);
};

// GLFW puts back Xlib's default error handler after each request it watches itself: the
// session's own is set again before each frame (session_window.cpp).
void WatchX();

// The process's CPU time so far, every thread's (the GL driver's included).
double ProcessCpuSeconds();

}  // namespace vhost
