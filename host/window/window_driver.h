// A driver plays the window as a user would, one step a frame: the window's tests build one
// into their own copy of the program (tests/window/driver). The shipped vantrel-host has
// none; it only offers the seam: the window asks its driver before each frame, and shows the
// driver what it needs to find and check (DrivenWindow).
#pragma once

#include <imgui.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "window/layout.h"

struct GLFWwindow;

namespace vhost {

class Host;
class InputQueue;

// How many frames the window drew and at what cost, since it opened.
struct FrameCounts {
    std::uint64_t rendered = 0;  // frames made (Dear ImGui rendered)
    std::uint64_t gl = 0;        // of those, drawn with GL (the rest showed no change)
    std::uint64_t partial = 0;   // of those, drawn only where they changed
    double renderCpu = 0.0;      // CPU seconds spent drawing with GL
};

// What the window looks like now.
struct WindowReport {
    Layout layout;
    Rect view;  // the part of the game screen shown, in game pixels
    bool settingsOpen = false;
    float consoleScroll = 0, consoleScrollMax = 0;
    std::map<std::string, Rect> widgets;  // the window's own, by label (widget_places.h)
    double clock = 0.0;
    bool paused = false;
    double speed = 1.0;
    float zoom = 1.0f;
    FrameCounts frames;
    std::uint64_t screenRedraws = 0;
};

// The window as its driver sees it.
class DrivenWindow {
public:
    virtual GLFWwindow* Native() = 0;
    virtual Host& host() = 0;
    // The keyboard's queue (input_queue.h): keys given here reach Dear ImGui in order.
    virtual InputQueue& Keys() = 0;
    // The console's input line takes the keyboard on the next frame.
    virtual void FocusConsole() = 0;
    // The next frame is drawn whole, as after an expose.
    virtual void RedrawWhole() = 0;
    // The window as drawn at the end of this frame, written as a PNG.
    virtual void Screenshot(const std::string& path) = 0;
    virtual bool ScriptRunning() const = 0;
    virtual WindowReport Report() const = 0;

protected:
    ~DrivenWindow() = default;
};

class WindowDriver {
public:
    virtual ~WindowDriver() = default;
    // Whether the settings window opens with the session, as it does for a person.
    virtual bool SettingsOpenAtStart() { return true; }
    // Before Dear ImGui's frame begins, with the frame's input: plays the driver's steps.
    virtual void BeforeFrame(DrivenWindow& window, ImGuiIO& io) = 0;
    // Whether the driver has steps to play now (the window then draws frames at full rate),
    // and whether a window that waits for input must draw a frame now (a timed step is due).
    virtual bool Busy() const = 0;
    virtual bool Due() const = 0;
    // Run inside the settings window's frame after the plug-ins' panels drew, with its
    // context current (SettingsFrameOptions::afterPanel); empty: nothing to do this frame.
    virtual std::function<void()> AfterSettingsPanel(DrivenWindow&) { return {}; }
};

}  // namespace vhost
