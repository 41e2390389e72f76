// The window's session: the frame loop, the clock, running lines, the empty evening and the
// end (closed, `quit`, Ctrl-C or SIGTERM, or the window lost).
#include <imgui.h>
#include <imgui_internal.h>
#include <imgui_impl_glfw.h>
#include <imgui_impl_opengl2.h>

#include <algorithm>
#include <csignal>
#include <ctime>
#include <filesystem>
#include <iostream>

#include <fmt/format.h>

#include "core/stop_request.h"
#include "window/session.h"

namespace vhost {
namespace {

constexpr double kFrameSeconds = 1.0 / 60.0;
constexpr double kLongestFrame = 0.25;        // a stall does not make the clock jump further
constexpr double kIdleWaitSeconds = 0.5;      // how often an idle window looks at the log
constexpr double kScriptSliceSeconds = 0.01;  // script lines run per frame at most this long
constexpr int kFramesAfterInput = 3;          // Dear ImGui settles hover, release and scroll states

// The ratings a game knows when the plug-in loads, as the server reported them at sign-in
// (playlist, rating, tier and division of the rank).
struct KnownRating {
    int playlist;
    float rating;
    int tier, division;
};
constexpr KnownRating kEveningRatings[] = {{10, 757.0f, 12, 0}, {11, 1006.0f, 15, 1}, {13, 850.0f, 13, 1}};

}  // namespace

WindowOptions::WindowOptions() = default;
WindowOptions::~WindowOptions() = default;
WindowOptions::WindowOptions(WindowOptions&&) noexcept = default;
WindowOptions& WindowOptions::operator=(WindowOptions&&) noexcept = default;

double ProcessCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

Session::Session(WindowOptions options)
    : options_(std::move(options)),
      outTee_(console_, ConsoleLine::Kind::Out, std::cout.rdbuf()),
      errTee_(console_, ConsoleLine::Kind::Err, std::cerr.rdbuf()),
      out_(&outTee_),
      err_(&errTee_),
      driver_(std::move(options_.driver)) {
    clock_.speed = options_.speed;
}

// Without a script the window starts an empty evening as a real game starts one: the ranked
// modes' ratings are known before the plug-in loads, so its table starts filled in.
void Session::StartEmptyEvening() {
    if (options_.script != nullptr) return;
    for (const KnownRating& known : kEveningRatings) {
        host_->world().SetRating(known.playlist, known.rating, SkillRank{known.tier, known.division, 0});
    }
}

// The settings window opens with the session, on the plug-in's tab, as the first thing a
// newcomer does is move its sliders. Drawn without a word on the console.
void Session::OpenSettingsAtStart() {
    if (driver_ && !driver_->SettingsOpenAtStart()) return;
    glfwMakeContextCurrent(nullptr);
    host_->SettingsFrame(GuiInput{});
    glfwMakeContextCurrent(window_);
    ImGui::SetCurrentContext(gui_);
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
    view_ = GameView(static_cast<float>(screen_->Width()), static_cast<float>(screen_->Height()));

    int status = kExitOk;
    try {
        host_ = std::make_unique<Host>(hostOptions);
        host_->SetFrameTarget([this]() -> pluginsdk::CanvasBackend& {
            latest_.Clear();
            ++framesDrawn_;
            return latest_;
        });
        StartEmptyEvening();
        const CommandResult started = host_->Start();
        if (!started.ok()) {
            out_.flush();
            err_ << "vantrel-host: " << started.message << '\n';
            err_.flush();
            host_.reset();
            CloseWindow();
            return started.outcome == Outcome::Refused ? kExitRefused : kExitError;
        }
        OpenSettingsAtStart();
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

        auto last = SteadyClock::now();
        auto nextFrame = last;
        // The loop ends when the window is closed, at `quit`, at Ctrl-C or SIGTERM (the
        // handler only records it), or when the window is lost.
        const auto ending = [this] { return quit_ || StopRequested() || lost_ || glfwWindowShouldClose(window_); };
        while (!ending()) {
            if (HaveWork()) {
                // Frames at 60 a second; input that comes between them is gathered for the next.
                for (;;) {
                    const double wait = std::chrono::duration<double>(nextFrame - SteadyClock::now()).count();
                    if (wait <= 0.0 || ending()) break;
                    glfwWaitEventsTimeout(wait);
                }
                glfwPollEvents();
                nextFrame = std::max(nextFrame + std::chrono::duration_cast<SteadyClock::duration>(
                                                     std::chrono::duration<double>(kFrameSeconds)),
                                     SteadyClock::now());
            } else {
                // Paused and nothing moves: sleep until input comes, the log grows or a driver's
                // timed step is due.
                glfwWaitEventsTimeout(kIdleWaitSeconds);
                std::vector<std::string> lines = log_->Poll();
                for (std::string& line : lines) console_.Add(ConsoleLine::Kind::Log, std::move(line));
                if (!activity_ && lines.empty() && !ending() && !(driver_ && driver_->Due())) {
                    last = SteadyClock::now();
                    continue;
                }
                nextFrame = SteadyClock::now();
            }
            if (ending()) break;
            WatchX();
            const auto now = SteadyClock::now();
            const double dt = std::min(kLongestFrame, std::chrono::duration<double>(now - last).count());
            last = now;
            if (activity_) settleFrames_ = kFramesAfterInput;
            activity_ = false;
            Frame(dt);
            if (settleFrames_ > 0) --settleFrames_;
            // The session's own output (a command's, a step's log lines) wakes the window as
            // input does: the frames after it show the lines and scroll to them.
            if (console_.Added() != consoleSeen_) {
                consoleSeen_ = console_.Added();
                settleFrames_ = kFramesAfterInput;
            }
        }
        if (StopRequested() || lost_) {
            out_.flush();
            err_ << "vantrel-host: "
                 << (lost_ ? "the window was lost" : StopSignal() == SIGINT ? "stopped by Ctrl-C" : "stopped by SIGTERM")
                 << ": the session ends as at quit\n";
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
    if (!clock_.paused) return true;
    if (clock_.stepRequest > 0.0 || settleFrames_ > 0 || !keys_.Empty() || worldTouched_) return true;
    if (console_.Added() != consoleSeen_) return true;
    if (driver_ && driver_->Busy()) return true;
    if (window_ != nullptr && glfwGetMouseButton(window_, GLFW_MOUSE_BUTTON_LEFT) == GLFW_PRESS) return true;
    return false;
}

Outcome Session::RunLine(const std::string& line, bool typed) {
    worldTouched_ = true;
    if (typed) console_.Add(ConsoleLine::Kind::Command, "vantrel> " + line);
    consolePanel_.ShowEnd();
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
        script_.Play(seconds, SteadyClock::now() + std::chrono::duration_cast<SteadyClock::duration>(
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
    const double seconds = (clock_.paused ? 0.0 : dt * clock_.speed) + clock_.stepRequest;
    clock_.stepRequest = 0.0;
    if (seconds > 0.0 || (!clock_.paused && script_.Running())) MoveClock(seconds);
    if (quit_) return;

    for (std::string& line : log_->Poll()) console_.Add(ConsoleLine::Kind::Log, std::move(line));

    int width = 0, height = 0;
    glfwGetWindowSize(window_, &width, &height);
    const SettingsView* settings = host_->SettingsWindowIfMade();
    LayoutInput in;
    in.width = width;
    in.height = height;
    if (settings != nullptr) {
        in.settingsWidth = settings->Width();
        in.settingsHeight = settings->Height();
    }
    in.screenAspect = static_cast<float>(screen_->Width()) / static_cast<float>(screen_->Height());
    ImGui::SetCurrentContext(gui_);
    in.barRowHeight = ImGui::GetFrameHeightWithSpacing();
    in.barRows = ControlBar::Rows(static_cast<float>(width));
    layout_ = ComputeLayout(in);

    ImGui_ImplOpenGL2_NewFrame();
    ImGui_ImplGlfw_NewFrame();
    ImGuiIO& io = ImGui::GetIO();
    const ImGuiContext& g = *ImGui::GetCurrentContext();
    keys_.Apply(io, g.ActiveId != 0 && g.ActiveId == g.InputTextState.ID);
    if (driver_) driver_->BeforeFrame(*this, io);
    ImGui::NewFrame();
    ImGui::PushFont(sans_);

    ControlBar::Context bar{*host_,
                            clock_,
                            script_,
                            screen_->Redraws(),
                            [this](const std::string& line) { return RunLine(line, true); },
                            [this] { view_.Fit(); },
                            [this] {
                                const PixelBox d = screen_->Drawn();
                                view_.OneToOne(layout_.screen, Rect{static_cast<float>(d.x), static_cast<float>(d.y),
                                                                    static_cast<float>(d.w), static_cast<float>(d.h)});
                            },
                            widgets_};
    bar_.Draw(layout_.bar, bar);
    bar_.DrawSessionPanel(layout_.side, *host_);
    if (const std::optional<std::string> line = consolePanel_.Draw(layout_.console, console_, mono_, widgets_)) {
        RunLine(*line, true);
    }
    DrawSettings();
    if (quit_) {
        ImGui::PopFont();
        ImGui::EndFrame();
        return;
    }
    ShowGameScreen();
    ImGui::PopFont();
    ImGui::Render();
    Present();
    ++frames_.rendered;
}

WindowReport Session::Report() const {
    WindowReport report;
    report.layout = layout_;
    report.view = view_.Shown();
    report.settingsOpen = host_->MenuOpen();
    report.consoleScroll = consolePanel_.ScrollY();
    report.consoleScrollMax = consolePanel_.ScrollMax();
    report.widgets = widgets_.All();
    report.clock = host_->world().Now();
    report.paused = clock_.paused;
    report.speed = clock_.speed;
    report.zoom = view_.Zoom();
    report.frames = frames_;
    report.screenRedraws = screen_->Redraws();
    return report;
}

int RunWindowSession(WindowOptions options) {
    Session session(std::move(options));
    return session.Run();
}

}  // namespace vhost
