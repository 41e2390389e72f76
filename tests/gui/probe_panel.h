// A stand-in settings panel: a check box and a slider drawn through the host's copy of
// Dear ImGui, recording what the widgets report and where they were drawn so a test can
// aim the mouse at them on the next frames.
#pragma once

#include <imgui.h>

#include "gui/settings_window.h"

namespace vhost::test {

struct Rect {
    ImVec2 min;
    ImVec2 max;
    ImVec2 Centre() const { return {(min.x + max.x) / 2.0f, (min.y + max.y) / 2.0f}; }
};

inline Rect LastItemRect() { return {ImGui::GetItemRectMin(), ImGui::GetItemRectMax()}; }

struct ProbePanel {
    bool checked = false;
    float value = 500.0f;
    int draws = 0;
    int checkboxClicks = 0;
    int sliderChanges = 0;
    bool sliderHovered = false;
    Rect text;
    Rect checkbox;
    Rect slider;

    void Draw() {
        ++draws;
        ImGui::TextUnformatted("A stand-in panel");
        text = LastItemRect();
        if (ImGui::Checkbox("Enable plugin", &checked)) ++checkboxClicks;
        checkbox = LastItemRect();
        if (ImGui::SliderFloat("##probe_x", &value, 0.0f, 1000.0f, "%.3f")) ++sliderChanges;
        slider = LastItemRect();
        sliderHovered = ImGui::IsItemHovered();
        if (sliderHovered) ImGui::SetTooltip("Left: %f", static_cast<double>(value));
    }

    SettingsTab Tab(const std::string& name = "Probe") {
        return {name, [this] { Draw(); }};
    }
};

inline GuiInput MouseAt(ImVec2 p, bool down = false) { return {p.x, p.y, down}; }

}  // namespace vhost::test
