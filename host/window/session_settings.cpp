// The host's settings window shown live in the window: the mouse over it routed to its own
// Dear ImGui context, its frame drawn there, and its draw data rendered in its place.
#include <GLFW/glfw3.h>
#include <imgui.h>
#include <imgui_impl_opengl2.h>

#include <cstdint>
#include <vector>

#include "window/session.h"

namespace vhost {

void Session::DrawSettings() {
    const Rect& r = layout_.settings;
    if (!host_->MenuOpen()) {
        BeginPanel("##settings_closed", r, ImGuiWindowFlags_NoDecoration);
        ImGui::TextDisabled("The settings window is closed.");
        ImGui::TextDisabled("Open it with the Settings button or vantrel_show_menu.");
        ImGui::End();
        settings_.drag = false;
        return;
    }
    ImGuiIO& io = ImGui::GetIO();
    const bool over = r.Contains(io.MousePos.x, io.MousePos.y) && !io.WantCaptureMouse;
    if (!io.MouseDown[0]) {
        settings_.drag = false;
    } else if (io.MouseClicked[0]) {
        settings_.drag = over;
    }
    GuiInput input;
    if (over || settings_.drag) {
        input.mouseX = io.MousePos.x - r.x;
        input.mouseY = io.MousePos.y - r.y;
        input.mouseDown = io.MouseDown[0] && settings_.drag;
    }
    // A press or its release may write a console variable: a paused screen then redraws.
    if (input.mouseDown || settings_.wasDown) worldTouched_ = true;
    settings_.wasDown = input.mouseDown;

    SettingsFrameOptions frameOptions;
    if (driver_) frameOptions.afterPanel = driver_->AfterSettingsPanel(*this);
    const CommandResult drawn = host_->SettingsFrame(input, frameOptions);
    ImGui::SetCurrentContext(gui_);
    if (!drawn.ok()) {
        BeginPanel("##settings_missing", r, ImGuiWindowFlags_NoDecoration);
        ImGui::TextDisabled("%s", drawn.message.c_str());
        ImGui::End();
    }
}

// The settings window's own Dear ImGui context drew its frame; its draw data is rendered
// here, moved to its place in the window and cut to it (a low window shows its top), with
// its font atlas uploaded to this GL context.
void Session::RenderSettings(const Rect* area) {
    SettingsView* settings = host_->SettingsWindowIfMade();
    if (settings == nullptr || !host_->MenuOpen() || layout_.settings.Empty()) return;
    auto* context = reinterpret_cast<ImGuiContext*>(settings->Context());
    ImGui::SetCurrentContext(context);
    ImDrawData* data = ImGui::GetDrawData();
    if (data != nullptr && data->Valid) {
        if (settings_.atlas == 0) {
            unsigned char* pixels = nullptr;
            int w = 0, h = 0;
            ImGui::GetIO().Fonts->GetTexDataAsRGBA32(&pixels, &w, &h);
            glGenTextures(1, &settings_.atlas);
            glBindTexture(GL_TEXTURE_2D, settings_.atlas);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
            glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
        }
        std::vector<ImTextureID> saved;
        for (int l = 0; l < data->CmdListsCount; ++l) {
            for (ImDrawCmd& cmd : data->CmdLists[l]->CmdBuffer) {
                saved.push_back(cmd.TextureId);
                cmd.TextureId = reinterpret_cast<ImTextureID>(static_cast<std::intptr_t>(settings_.atlas));
            }
        }
        const ImVec2 pos = data->DisplayPos, size = data->DisplaySize, scale = data->FramebufferScale;
        data->DisplayPos = ImVec2(pos.x - layout_.settings.x, pos.y - layout_.settings.y);
        data->DisplaySize = ImVec2(static_cast<float>(layout_.width), static_cast<float>(layout_.height));
        ImGui::SetCurrentContext(gui_);
        data->FramebufferScale = ImGui::GetIO().DisplayFramebufferScale;
        const Rect clip = area != nullptr ? Intersect(*area, layout_.settings) : layout_.settings;
        std::vector<ImVec4> clips;
        if (!clip.Empty()) {
            ClipTo(data, clip, clips);
            ImGui_ImplOpenGL2_RenderDrawData(data);
            Unclip(data, clips);
        }
        data->DisplayPos = pos;
        data->DisplaySize = size;
        data->FramebufferScale = scale;
        std::size_t i = 0;
        for (int l = 0; l < data->CmdListsCount; ++l) {
            for (ImDrawCmd& cmd : data->CmdLists[l]->CmdBuffer) cmd.TextureId = saved[i++];
        }
    }
    ImGui::SetCurrentContext(gui_);
}

}  // namespace vhost
