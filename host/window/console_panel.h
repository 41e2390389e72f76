// The window's console: the session's output, errors, the commands run and the plug-in's
// log lines (ConsoleBuffer), with an input line below that keeps a history (up and down).
// The output follows its newest line unless the user scrolled up to read.
#pragma once

#include <imgui.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "window/console_buffer.h"
#include "window/layout.h"
#include "window/widget_places.h"

namespace vhost {

class ConsolePanel {
public:
    // Draws the panel in `area` with `font`; the line entered this frame, if any (the input
    // line then takes the focus again).
    std::optional<std::string> Draw(const Rect& area, const ConsoleBuffer& lines, ImFont* font, WidgetPlaces& widgets);

    // The input line takes the keyboard on the next frame.
    void Focus() { focus_ = true; }
    // The newest line is shown on the next frame, and followed again.
    void ShowEnd() { toEnd_ = true; }
    // The output's scroll as last drawn, and its most.
    float ScrollY() const { return scrollY_; }
    float ScrollMax() const { return scrollMax_; }

private:
    static int History(ImGuiInputTextCallbackData* data);
    void DrawOutput(const ConsoleBuffer& lines);

    std::array<char, 1024> input_{};
    std::vector<std::string> history_;
    int historyPos_ = -1;
    bool focus_ = true;
    bool toEnd_ = true;   // show the newest line on the next frame
    bool follow_ = true;  // the output follows its newest line (unless scrolled up)
    std::uint64_t seen_ = 0;
    float lastHeight_ = 0;
    float scrollY_ = 0, scrollMax_ = 0;
};

}  // namespace vhost
