// vantrel-host --window: one session played in a window (GLFW and OpenGL, Dear ImGui):
// the game screen with the plug-in's drawing, the host's settings window, a console and a
// control bar with the virtual clock. The clock moves with real time times the chosen
// speed; a script's `wait N` lines take N/speed real seconds.
#pragma once

#include <istream>
#include <string>

#include "host.h"

namespace vhost {

struct WindowOptions {
    HostOptions host;                // out and err: replaced by the console, which passes them on
    std::istream* script = nullptr;  // nothing: an empty evening, driven by hand
    std::string scriptName;
    double speed = 1.0;              // the clock's first speed; 1 is real time
    int width = 1600;
    int height = 900;
};

// Opens the window, starts the host in it (the settings window open on the plug-in's tab)
// and runs until the window is closed, `quit` (typed, or in the script), Ctrl-C or SIGTERM,
// or the window is lost (killed from outside). Ends as a headless session ends (unload,
// configuration saved) and returns the same exit status. Without a display, or when no
// window can be made, prints a one-line reason and returns kExitRefused (2) before the host
// starts.
//
// For tests, the environment variable VANTREL_WINDOW_HOOKS names a file of steps the
// window plays, one a frame (or until done), as a user would:
//   frames N          let N frames pass            sleep S          let S real seconds pass
//   mouse X Y         move the mouse (window pixels); press / release: the left button
//   mouse control LABEL            to one of the window's own widgets, by its label
//                                  ("Pause", "Won", "Set rating", "rating", "console")
//   mouse widget LABEL [at F]      to a widget of the plug-in's settings panel, by its Dear
//                                  ImGui label ("Enable plugin", "##vantrel_pos_x"): its
//                                  middle, or F of the way across
//   wheel N           turn the mouse wheel N notches
//   type TEXT         type TEXT into the active text field (else the console, once focused)
//   key enter|up|down a key pressed and released at once (one event batch)
//   keys TEXT         TEXT with \n for Enter, every press and release in one batch
//   size WxH          resize the window
//   screenshot FILE   the window as drawn, as a PNG (read back from the GL back buffer)
//   layout FILE       sizes, the game screen and its view, the settings window, the console,
//                     every own widget by label, the clock, its speed and the zoom
//   script            wait until the script has ended     close   close the window
//   signal INT|TERM   the signal, as from outside
//   kill-window       as xkill does                        destroy-window  another client destroys it
//   cpu start         cpu report FILE: CPU time per frame and share of a core since the start
//   redraw            draw the next frame whole (frames are drawn only where they changed)
//   settings closed   (first step only) leave the settings window closed at the start
// VANTREL_WINDOW_SIZE=WxH opens the window at that size (default 1600x900), and
// VANTREL_WINDOW_FULL_REDRAW (any value) draws every changed frame whole, for comparison.
int RunWindowSession(const WindowOptions& options);

}  // namespace vhost
