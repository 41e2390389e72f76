// The host's settings window: a Dear ImGui context owned by the host, a window with one
// tab per plug-in, driven headless (input given per frame) and pictured through Mesa's
// off-screen renderer.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/settings_view.h"

namespace vhost {

class SettingsWindow final : public SettingsView {
public:
    // Throws std::invalid_argument unless both sides are 1 to 16384 pixels.
    explicit SettingsWindow(int width = 640, int height = 360);
    ~SettingsWindow() override;
    SettingsWindow(const SettingsWindow&) = delete;
    SettingsWindow& operator=(const SettingsWindow&) = delete;

    // The address of the host's ImGui context, as handed to plug-ins by SetGuiContext.
    // The host's own copy of ImGui has it current only while Frame or WritePng runs.
    std::uintptr_t Context() const override;

    // Opens the window with the named tab selected (it need not exist yet).
    void Open(const std::string& tabName) override;
    void Close() override;
    bool IsOpen() const override;
    const std::string& SelectedTab() const override;

    // Runs one ImGui frame of the window with these tabs; only the selected tab's draw runs.
    // Draws even when closed (a headless host has no one else to show it to).
    // An exception from a tab's draw reaches the caller once the frame has been closed, so
    // the next Frame works; a draw that leaves ImGui scopes open (a missing End/Pop) has
    // them closed and is reported as std::runtime_error. Frame from inside a draw throws
    // std::logic_error. A mouse press toggles or drags on the frames where the widget sees
    // it: press on one frame, release on a later one.
    void Frame(const std::vector<SettingsTab>& tabs, const GuiInput& input = {}) override;

    // Renders the last frame and writes the window as a PNG. On failure returns false
    // and says why in `error`. Before any frame, an empty one is drawn first.
    bool WritePng(const std::string& path, std::string& error) override;

    int Width() const override;
    int Height() const override;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace vhost
