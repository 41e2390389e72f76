// The plug-in's side of the host's settings window: the tab name and the host's Dear ImGui
// context. The panel itself (DrawSettings) is the plug-in class's.
#pragma once

#include <cstdint>
#include <string>

#include "host_sdk.h"

class SettingsWindowBase : public PluginSettingsWindow {
public:
    ~SettingsWindowBase() override;
    std::string SettingsTabName() override;
    // The plug-in links its own copy of Dear ImGui: make the host's context current in it.
    void SetGuiContext(std::uintptr_t ctx) override;
};
