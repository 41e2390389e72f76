// The settings panel in the host's settings window. It keeps no state: every widget reads
// its console variable afresh and writes it back only when the user changes the widget.
#include <cstdio>

#include <imgui.h>

#include "Vantrel.h"

void Vantrel::DrawSettings() {
    // Without the host's context (SetGuiContext not called) Dear ImGui would crash the game.
    if (ImGui::GetCurrentContext() == nullptr) return;

    ImGui::TextUnformatted("A really cool plugin");

    CVarWrapper enableCvar = cvarManager->getCvar("vantrel_enabled");
    if (!enableCvar) return;
    bool isEnabled = enableCvar.getBoolValue();
    if (ImGui::Checkbox("Enable plugin", &isEnabled)) enableCvar.setValue(isEnabled ? 1 : 0);

    // The sliders cover a 1920x1080 screen, while the variables have no maximum: a larger
    // value set from the console is shown as it is and kept until the slider is moved.
    CvarSlider("vantrel_pos_x", "Left: ", 0.0f, 1920.0f);
    CvarSlider("vantrel_pos_y", "Top: ", 0.0f, 1080.0f);
    // The plug-in registers no vantrel_line_height and the table keeps a fixed 20-unit row
    // pitch, so this slider shows only if another party registers the variable, and then
    // moves nothing. Kept as the panel has always been, look-up included.
    CvarSlider("vantrel_line_height", "Line Height: ", -10.0f, 72.0f);
}

void Vantrel::CvarSlider(std::string cvarName, std::string label, float minValue, float maxValue) {
    CVarWrapper cvar = cvarManager->getCvar(cvarName);
    if (!cvar) return;
    float value = cvar.getFloatValue();
    const std::string id = "##" + cvarName;
    if (ImGui::SliderFloat(id.c_str(), &value, minValue, maxValue, "%.3f")) cvar.setValue(value);
    if (ImGui::IsItemHovered()) {
        char number[64];
        std::snprintf(number, sizeof number, "%f", static_cast<double>(value));
        // The tooltip is data, never a format.
        ImGui::SetTooltip("%s%s", label.c_str(), number);
    }
}
