// The window's own panels (the control bar, the session panel, the console) are Dear ImGui
// windows that the layout places; their widgets are recorded where they were drawn last, by
// their labels ("Pause", "Won", "rating", "console"), in window pixels: a driver clicks them
// by name, and the layout checks find them so.
#pragma once

#include <imgui.h>

#include <map>
#include <string>

#include "window/layout.h"

namespace vhost {

// Begins a Dear ImGui window fixed at `area`: the layout, not the user, places the panels.
void BeginPanel(const char* name, const Rect& area, ImGuiWindowFlags flags);

class WidgetPlaces {
public:
    // Records the last Dear ImGui item under `label`.
    void RecordLast(const std::string& label);
    const std::map<std::string, Rect>& All() const { return places_; }

private:
    std::map<std::string, Rect> places_;
};

}  // namespace vhost
