// vantrel-host --window: one session played in a window (GLFW and OpenGL, Dear ImGui):
// the game screen with the plug-in's drawing, the host's settings window, a console and a
// control bar with the virtual clock. The clock moves with real time times the chosen
// speed; a script's `wait N` lines take N/speed real seconds.
#pragma once

#include <istream>
#include <memory>
#include <string>

#include "core/host.h"

namespace vhost {

class WindowDriver;

struct WindowOptions {
    WindowOptions();
    ~WindowOptions();
    WindowOptions(WindowOptions&&) noexcept;
    WindowOptions& operator=(WindowOptions&&) noexcept;

    HostOptions host;                // out and err: replaced by the console, which passes them on
    std::istream* script = nullptr;  // nothing: an empty evening, the ranked ratings known at start
    std::string scriptName;
    double speed = 1.0;              // the clock's first speed; 1 is real time
    int width = 1600;                // at most the monitor's work area
    int height = 900;
    std::unique_ptr<WindowDriver> driver;  // plays the window for tests (window_driver.h); none for a person
};

// Opens the window, starts the host in it (the settings window open on the plug-in's tab)
// and runs until the window is closed, `quit` (typed, or in the script), Ctrl-C or SIGTERM,
// or the window is lost (killed from outside). Ends as a headless session ends (unload,
// configuration saved) and returns the same exit status. Without a display, or when no
// window can be made, prints a one-line reason and returns kExitRefused (2) before the host
// starts.
//
// The window opens at the options' size, or VANTREL_WINDOW_SIZE=WxH, made smaller where the
// monitor's work area is; VANTREL_WINDOW_FULL_REDRAW (any value) draws every changed frame
// whole, for comparison with the partial redraw.
int RunWindowSession(WindowOptions options);

}  // namespace vhost
