// The settings window as the host core sees it: a window with one tab per plug-in that the
// host drives frame by frame. The core draws nothing itself; the program hands it a
// settings window (the Dear ImGui one in host/gui) through HostFaces.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vhost {

// The input of one frame, in window pixels. A negative position means "no mouse".
struct GuiInput {
    float mouseX = -1.0f;
    float mouseY = -1.0f;
    bool mouseDown = false;
};

struct SettingsTab {
    std::string name;            // the tab's caption (the plug-in's SettingsTabName)
    std::function<void()> draw;  // draws the tab's content into the current window
};

class SettingsView {
public:
    virtual ~SettingsView() = default;

    // The address of the window's Dear ImGui context, as handed to plug-ins by SetGuiContext.
    virtual std::uintptr_t Context() const = 0;
    // Opens the window with the named tab selected (it need not exist yet).
    virtual void Open(const std::string& tabName) = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    virtual const std::string& SelectedTab() const = 0;
    // Runs one frame of the window with these tabs; only the selected tab's draw runs.
    virtual void Frame(const std::vector<SettingsTab>& tabs, const GuiInput& input = {}) = 0;
    // Writes the last frame as a PNG; false with the reason in `error` on failure.
    virtual bool WritePng(const std::string& path, std::string& error) = 0;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
};

}  // namespace vhost
