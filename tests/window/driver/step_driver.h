// The window's tests play the live window through a file of steps, one a frame (or until
// done), as a user would: this driver (window/window_driver.h) reads them and plays them in
// vantrel-host-driven, the program as shipped plus this driver, which the tests run instead
// of vantrel-host. The file is named by VANTREL_WINDOW_HOOKS; its steps:
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
// Lines starting with # are skipped.
#pragma once

#include <imgui.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "window/window_driver.h"

namespace vtest {

class StepDriver final : public vhost::WindowDriver {
public:
    struct Step {
        std::string verb;
        std::string rest;
    };
    // The steps of the file at `path` (none when it is null or empty).
    explicit StepDriver(const char* path);

    bool SettingsOpenAtStart() override;
    void BeforeFrame(vhost::DrivenWindow& window, ImGuiIO& io) override;
    bool Busy() const override;
    bool Due() const override;
    std::function<void()> AfterSettingsPanel(vhost::DrivenWindow& window) override;

private:
    using Clock = std::chrono::steady_clock;
    bool Target(vhost::DrivenWindow& window, const std::string& target, ImVec2& point);
    void WriteLayout(vhost::DrivenWindow& window, const std::string& path) const;
    void WriteCpuReport(vhost::DrivenWindow& window, const std::string& path) const;

    std::vector<Step> steps_;
    std::size_t index_ = 0;
    int frames_ = 0;
    Clock::time_point until_{};
    bool mouse_ = false;
    ImVec2 mousePos_{-1, -1};
    bool mouseDown_ = false;
    std::string widgetLabel_;  // a plug-in widget looked for by its label
    int widgetFrames_ = 0;
    std::map<std::string, vhost::Rect> panelWidgets_;  // found, relative to the settings window
    double cpuStart_ = 0.0;
    Clock::time_point wallStart_{};
    vhost::FrameCounts framesAtStart_;
};

}  // namespace vtest
