// The window itself: opened inside the monitor's work area, its GL context and Dear ImGui,
// the callbacks that tell the loop of input, and the X connection watched for loss.
#include <imgui.h>
#include <imgui_impl_glfw.h>
#include <imgui_impl_opengl2.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "window/session.h"
// Last: Xlib defines macros (None, Status, Bool) that other headers use as names.
#include "window/x11_native.h"

namespace vhost {
namespace {

constexpr const char* kSansFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr const char* kMonoFont = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf";

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

// The size asked for (VANTREL_WINDOW_SIZE=WxH, else the options'), made to fit the primary
// monitor's work area (the screen less the desktop's panels) with the window's frame.
void FitToWorkArea(int& width, int& height, int& x, int& y) {
    x = y = -1;
    GLFWmonitor* monitor = glfwGetPrimaryMonitor();
    if (monitor == nullptr) return;
    int areaX = 0, areaY = 0, areaW = 0, areaH = 0;
    glfwGetMonitorWorkarea(monitor, &areaX, &areaY, &areaW, &areaH);
    if (areaW <= 0 || areaH <= 0) return;
    if (width <= areaW && height <= areaH) return;
    width = std::min(width, areaW);
    height = std::min(height, areaH);
    x = areaX;
    y = areaY;
}

}  // namespace

void OnWindowLost(Session& session) { session.lost_ = true; }

void WatchX() {
    if (xSession != nullptr) XSetErrorHandler(OnXError);
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
    int width = options_.width, height = options_.height, x = -1, y = -1;
    if (const char* size = std::getenv("VANTREL_WINDOW_SIZE"); size != nullptr) {
        std::sscanf(size, "%dx%d", &width, &height);
        width = std::clamp(width, 640, 8192);
        height = std::clamp(height, 480, 8192);
    }
    FitToWorkArea(width, height, x, y);
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);  // shown once it has its place
    window_ = glfwCreateWindow(width, height, "vantrel-host", nullptr, nullptr);
    if (window_ == nullptr) {
        std::cerr << "vantrel-host: --window: cannot open a window: " << GlfwErrorText() << '\n';
        glfwTerminate();
        return false;
    }
    if (x >= 0) {
        // Too large for the work area: the window and its frame (title bar, borders) fill it.
        int left = 0, top = 0, right = 0, bottom = 0;
        glfwGetWindowFrameSize(window_, &left, &top, &right, &bottom);
        glfwSetWindowSize(window_, std::max(320, width - left - right), std::max(240, height - top - bottom));
        glfwSetWindowPos(window_, x + left, y + top);
    }
    glfwShowWindow(window_);
    if (Display* xDisplay = glfwGetX11Display(); xDisplay != nullptr) {
        xSession = this;
        xWindow = glfwGetX11Window(window_);
        XSetIOErrorHandler(QuietIoError);
        XSetIOErrorExitHandler(xDisplay, OnXConnectionLost, nullptr);
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

}  // namespace vhost
