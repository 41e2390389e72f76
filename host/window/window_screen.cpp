// The game screen in the window, with a zoom (the mouse wheel over it, `Fit`, `1:1`), and the
// host's settings window shown live beside it.
#include <imgui.h>
#include <imgui_internal.h>

#include <algorithm>
#include <cmath>

#include "session.h"

namespace vhost {
namespace {
constexpr float kMostZoom = 16.0f;
}  // namespace

Rect Session::ScreenView() const {
    const auto w = static_cast<float>(screen_->Width()), h = static_cast<float>(screen_->Height());
    const float vw = w / view_.zoom, vh = h / view_.zoom;
    const float x = std::clamp(view_.centreX - vw / 2, 0.0f, w - vw);
    const float y = std::clamp(view_.centreY - vh / 2, 0.0f, h - vh);
    return {x, y, vw, vh};
}

Rect Session::ScreenToWindow(const Rect& game) const {
    const Rect view = ScreenView();
    const Rect& r = layout_.screen;
    const float sx = r.w / view.w, sy = r.h / view.h;
    return {r.x + (game.x - view.x) * sx, r.y + (game.y - view.y) * sy, game.w * sx, game.h * sy};
}

// Zooms by `factor`, keeping the game pixel under (windowX, windowY) where it is.
void Session::ZoomAt(float factor, float windowX, float windowY) {
    const Rect view = ScreenView();
    const Rect& r = layout_.screen;
    const float gx = view.x + (windowX - r.x) / r.w * view.w;
    const float gy = view.y + (windowY - r.y) / r.h * view.h;
    const float zoom = std::clamp(view_.zoom * factor, 1.0f, kMostZoom);
    const float vw = static_cast<float>(screen_->Width()) / zoom, vh = static_cast<float>(screen_->Height()) / zoom;
    view_.zoom = zoom;
    view_.centreX = gx - (windowX - r.x) / r.w * vw + vw / 2;
    view_.centreY = gy - (windowY - r.y) / r.h * vh + vh / 2;
}

// One game pixel to one window pixel, centred on what the plug-in draws (its table).
void Session::ZoomOneToOne() {
    if (layout_.screen.w <= 0) return;
    view_.zoom = std::clamp(static_cast<float>(screen_->Width()) / layout_.screen.w, 1.0f, kMostZoom);
    const PixelBox drawn = screen_->Drawn();
    if (!drawn.Empty()) {
        view_.centreX = static_cast<float>(drawn.x) + static_cast<float>(drawn.w) / 2;
        view_.centreY = static_cast<float>(drawn.y) + static_cast<float>(drawn.h) / 2;
    }
}

void Session::ShowGameScreen() {
    if (framesDrawn_ != framesShown_) {
        // The clock drew frames: show the latest.
        framesShown_ = framesDrawn_;
        screen_->Show(latest_);
        worldTouched_ = false;
    } else if (clock_.paused && worldTouched_) {
        // A stopped clock draws no frames; draw one so the screen shows what a command or
        // the settings changed.
        worldTouched_ = false;
        latest_.Clear();
        CountingCanvas counting(latest_, host_->calls());
        host_->backend().DrawFrame(counting);
        screen_->Show(latest_);
    }

    // The mouse over the game screen: the wheel zooms at the pointer, the right button moves
    // the view.
    ImGuiIO& io = ImGui::GetIO();
    const Rect& r = layout_.screen;
    const bool over = r.Contains(io.MousePos.x, io.MousePos.y) && !io.WantCaptureMouse;
    if (over && io.MouseWheel != 0.0f) ZoomAt(std::pow(1.25f, io.MouseWheel), io.MousePos.x, io.MousePos.y);
    if (over && io.MouseClicked[1]) view_.panning = true;
    if (!io.MouseDown[1]) view_.panning = false;
    if (view_.panning && r.w > 0) {
        const Rect view = ScreenView();
        view_.centreX = view.x + view.w / 2 - io.MouseDelta.x * view.w / r.w;
        view_.centreY = view.y + view.h / 2 - io.MouseDelta.y * view.h / r.h;
    }

    const PixelBox stale = screen_->Stale();
    if (!stale.Empty()) {
        // The uploaded texels in their place, with two pixels more on each side for the
        // bilinear filter's reach.
        const Rect texels = ScreenToWindow(Rect{static_cast<float>(stale.x), static_cast<float>(stale.y),
                                                static_cast<float>(stale.w), static_cast<float>(stale.h)});
        uploaded_ = Union(uploaded_, Intersect(Rect{texels.x - 2, texels.y - 2, texels.w + 4, texels.h + 4}, r));
    }
    const Rect view = ScreenView();
    const auto w = static_cast<float>(screen_->Width()), h = static_cast<float>(screen_->Height());
    const auto texture = reinterpret_cast<ImTextureID>(static_cast<std::intptr_t>(screen_->Texture()));
    ImGui::GetBackgroundDrawList()->AddImage(texture, ImVec2(r.x, r.y), ImVec2(r.x + r.w, r.y + r.h),
                                             ImVec2(view.x / w, view.y / h),
                                             ImVec2((view.x + view.w) / w, (view.y + view.h) / h));
}

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
    if (!hooks_.widgetLabel.empty()) {
        // A test hook looks for a widget of the plug-in's panel by its label. Dear ImGui
        // records the place of the widget it navigates to: ask it to navigate there, and
        // read the place once the panel has drawn that widget again.
        frameOptions.afterPanel = [this] {
            ImGuiContext& g = *ImGui::GetCurrentContext();
            ImGuiWindow* window = ImGui::GetCurrentWindow();
            const ImGuiID id = ImGui::GetID(hooks_.widgetLabel.c_str());
            if (hooks_.widgetFrames > 0 && g.NavId == id && g.NavIdIsAlive) {
                // Kept relative to where the window's content starts.
                const ImRect& rel = window->NavRectRel[0];
                const ImVec2 start = window->DC.CursorStartPos;
                hooks_.panelWidgets[hooks_.widgetLabel] = {start.x + rel.Min.x, start.y + rel.Min.y, rel.GetWidth(),
                                                           rel.GetHeight()};
                hooks_.widgetLabel.clear();
                return;
            }
            ImGui::SetFocusID(id, window);
            ++hooks_.widgetFrames;
        };
    }
    const CommandResult drawn = host_->SettingsFrame(input, frameOptions);
    ImGui::SetCurrentContext(gui_);
    if (!drawn.ok()) {
        BeginPanel("##settings_missing", r, ImGuiWindowFlags_NoDecoration);
        ImGui::TextDisabled("%s", drawn.message.c_str());
        ImGui::End();
    }
}

}  // namespace vhost
