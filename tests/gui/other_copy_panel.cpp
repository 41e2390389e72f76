#include "other_copy_panel.h"

#include <imgui.h>

#define OTHER_COPY_EXPORT __attribute__((visibility("default")))

extern "C" {

OTHER_COPY_EXPORT void OtherCopySetContext(std::uintptr_t context) {
    ImGui::SetCurrentContext(reinterpret_cast<ImGuiContext*>(context));
}

OTHER_COPY_EXPORT std::uintptr_t OtherCopyCurrentContext() {
    return reinterpret_cast<std::uintptr_t>(ImGui::GetCurrentContext());
}

OTHER_COPY_EXPORT void OtherCopyDraw(OtherCopyPanel* panel) {
    ImGui::TextUnformatted("Drawn by another copy");
    if (ImGui::Checkbox("Enable plugin", &panel->checked)) ++panel->clicks;
    panel->minX = ImGui::GetItemRectMin().x;
    panel->minY = ImGui::GetItemRectMin().y;
    panel->maxX = ImGui::GetItemRectMax().x;
    panel->maxY = ImGui::GetItemRectMax().y;
}
}
