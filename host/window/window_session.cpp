// The window's session: opening the window, the frame loop, the clock, running lines, and
// the end (closed, `quit`, Ctrl-C or SIGTERM, or the window lost).
#include "window_session.h"

#include <imgui.h>
#include <imgui_internal.h>
#include <imgui_impl_glfw.h>
#include <imgui_impl_opengl2.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>

#include <fmt/format.h>

#include "session.h"
// Last: Xlib defines macros (None, Status, Bool) that other headers use as names.
#include "x11_native.h"
#include "stop_request.h"

namespace vhost {
namespace {

constexpr const char* kSansFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr const char* kMonoFont = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf";
constexpr double kFrameSeconds = 1.0 / 60.0;
constexpr double kLongestFrame = 0.25;        // a stall does not make the clock jump further
constexpr double kIdleWaitSeconds = 0.5;      // how often an idle window looks at the log
constexpr double kScriptSliceSeconds = 0.01;  // script lines run per frame at most this long
constexpr int kFramesAfterInput = 3;          // Dear ImGui settles hover and release states

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

// The session whose window the X connection belongs to (one window per process).
Session* xSession = nullptr;

// The connection to the X server broke (the window was killed from outside, the server
// went away). Xlib's default would end the process on the spot, losing the session's
// settings; returning lets the session end as `quit` does, without touching X again.
void OnXConnectionLost(Display*, void*) {
    if (xSession != nullptr) OnWindowLost(*xSession);
}
int QuietIoError(Display*) { return 0; }
// The window's X id, to tell a request on it failing.
unsigned long xWindow = 0;

// Another client destroyed the window: requests on it fail. Xlib's default handler would end
// the process; the session ends instead (other errors are let pass).
int OnXError(Display*, XErrorEvent* error) {
    const bool onWindow = error->resourceid == xWindow && xWindow != 0;
    if (onWindow || error->error_code == BadWindow || error->error_code == BadDrawable) {
        if (xSession != nullptr) OnWindowLost(*xSession);
    }
    return 0;
}

// GLFW puts back Xlib's default error handler after each request it watches itself: the
// session's is set again before each frame.
void WatchX() {
    if (xSession != nullptr) XSetErrorHandler(OnXError);
}

}  // namespace

void OnWindowLost(Session& session) { session.lost_ = true; }

void BeginPanel(const char* name, const Rect& area, ImGuiWindowFlags flags) {
    ImGui::SetNextWindowPos(ImVec2(area.x, area.y));
    ImGui::SetNextWindowSize(ImVec2(area.w, area.h));
    ImGui::Begin(name, nullptr, flags | ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoSavedSettings);
}

Session::Session(const WindowOptions& options)
    : options_(options),
      outTee_(console_, ConsoleLine::Kind::Out, std::cout.rdbuf()),
      errTee_(console_, ConsoleLine::Kind::Err, std::cerr.rdbuf()),
      out_(&outTee_),
      err_(&errTee_) {
    clock_.speed = options.speed;
}

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
    if (Display* x = glfwGetX11Display(); x != nullptr) {
        xSession = this;
        xWindow = glfwGetX11Window(window_);
        XSetIOErrorHandler(QuietIoError);
        XSetIOErrorExitHandler(x, OnXConnectionLost, nullptr);
        XSetErrorHandler(OnXError);
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
    // Keys and characters go through the window's queue rather than straight into Dear
    // ImGui (input_queue.h): every press is seen, in order.
    glfwSetKeyCallback(window_, [](GLFWwindow* w, int key, int, int action, int) {
        auto* self = static_cast<Session*>(glfwGetWindowUserPointer(w));
        self->activity_ = true;
        if (action != GLFW_REPEAT) self->keys_.Key(key, action == GLFW_PRESS);
    });
    glfwSetCharCallback(window_, [](GLFWwindow* w, unsigned int c) {
        auto* self = static_cast<Session*>(glfwGetWindowUserPointer(w));
        self->activity_ = true;
        self->keys_.Char(c);
    });
    keys_.SetModifierKeys(GLFW_KEY_LEFT_CONTROL, GLFW_KEY_RIGHT_CONTROL, GLFW_KEY_LEFT_SHIFT, GLFW_KEY_RIGHT_SHIFT,
                          GLFW_KEY_LEFT_ALT, GLFW_KEY_RIGHT_ALT, GLFW_KEY_LEFT_SUPER, GLFW_KEY_RIGHT_SUPER);
    presenter_ = Presenter(std::getenv("VANTREL_WINDOW_FULL_REDRAW") == nullptr && ProbeKeptBackBuffer());
    return true;
}

void Session::CloseWindow() {
    if (window_ == nullptr) return;
    if (lost_) {
        // Nothing may be asked of a display that is gone; the process ends next.
        window_ = nullptr;
        return;
    }
    glfwMakeContextCurrent(window_);
    if (screen_) screen_->ReleaseTexture();
    if (settings_.atlas != 0) glDeleteTextures(1, &settings_.atlas);
    ImGui::SetCurrentContext(gui_);
    ImGui_ImplOpenGL2_Shutdown();
    ImGui_ImplGlfw_Shutdown();
    ImGui::DestroyContext(gui_);
    gui_ = nullptr;
    glfwDestroyWindow(window_);
    window_ = nullptr;
    xSession = nullptr;
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
    glfwSetWindowSizeCallback(window_, [](GLFWwindow* w, int, int) {
        static_cast<Session*>(glfwGetWindowUserPointer(w))->activity_ = true;
    });
    glfwSetWindowRefreshCallback(window_, [](GLFWwindow* w) {
        auto* self = static_cast<Session*>(glfwGetWindowUserPointer(w));
        self->activity_ = true;
        self->presenter_.Invalidate();
    });
    glfwSetWindowFocusCallback(window_, [](GLFWwindow* w, int) {
        static_cast<Session*>(glfwGetWindowUserPointer(w))->activity_ = true;
    });
}

// The settings window opens with the session, on the plug-in's tab, as the first thing a
// newcomer does is move its sliders. Drawn without a word on the console.
void Session::OpenSettingsAtStart() {
    if (!hooks_.steps.empty() && hooks_.steps.front().verb == "settings" && hooks_.steps.front().rest == "closed") {
        ++hooks_.index;  // a test that compares the plug-in's calls with a headless run
        return;
    }
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
    hooks_.steps = ReadHooks(std::getenv("VANTREL_WINDOW_HOOKS"));

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
                // Paused and nothing moves: sleep until input comes or the log grows.
                glfwWaitEventsTimeout(kIdleWaitSeconds);
                std::vector<std::string> lines = log_->Poll();
                for (std::string& line : lines) console_.Add(ConsoleLine::Kind::Log, std::move(line));
                if (!activity_ && lines.empty() && !ending() && !SleepHookDue()) {
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
    if (clock_.stepRequest > 0.0 || settleFrames_ > 0 || !keys_.Empty()) return true;
    // A hook that sleeps leaves the window idle, as a user who looks away does.
    if ((hooks_.index < hooks_.steps.size() && hooks_.steps[hooks_.index].verb != "sleep") ||
        (hooks_.mouse && hooks_.mouseDown)) {
        return true;
    }
    if (window_ != nullptr && glfwGetMouseButton(window_, GLFW_MOUSE_BUTTON_LEFT) == GLFW_PRESS) return true;
    return false;
}

Outcome Session::RunLine(const std::string& line, bool typed) {
    worldTouched_ = true;
    if (typed) console_.Add(ConsoleLine::Kind::Command, "vantrel> " + line);
    consolePanel_.toEnd = true;
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
    in.barRows = BarRows(static_cast<float>(width));
    layout_ = ComputeLayout(in);

    ImGui_ImplOpenGL2_NewFrame();
    ImGui_ImplGlfw_NewFrame();
    ImGuiIO& io = ImGui::GetIO();
    const ImGuiContext& g = *ImGui::GetCurrentContext();
    keys_.Apply(io, g.ActiveId != 0 && g.ActiveId == g.InputTextState.ID);
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
    Present();
    ++frames_.rendered;
}

int RunWindowSession(const WindowOptions& options) {
    Session session(options);
    return session.Run();
}

}  // namespace vhost
