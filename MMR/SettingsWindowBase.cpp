#include "SettingsWindowBase.h"

#include <imgui.h>

SettingsWindowBase::~SettingsWindowBase() = default;

std::string SettingsWindowBase::SettingsTabName() { return "Vantrel"; }

void SettingsWindowBase::SetGuiContext(std::uintptr_t ctx) {
    ImGui::SetCurrentContext(reinterpret_cast<ImGuiContext*>(ctx));
}
