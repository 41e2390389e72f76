// The game screen in the window: the latest frame the clock drew (or a fresh one when a
// command changed a paused world), shown through the view (game_view.h) that the mouse
// zooms and moves.
#include <imgui.h>

#include <cmath>
#include <cstdint>

#include "window/session.h"

namespace vhost {

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
    if (over && io.MouseWheel != 0.0f) view_.ZoomAt(std::pow(1.25f, io.MouseWheel), io.MousePos.x, io.MousePos.y, r);
    if (over && io.MouseClicked[1]) panning_ = true;
    if (!io.MouseDown[1]) panning_ = false;
    if (panning_) view_.Pan(io.MouseDelta.x, io.MouseDelta.y, r);

    const PixelBox stale = screen_->Stale();
    if (!stale.Empty()) {
        // The uploaded texels in their place, with two pixels more on each side for the
        // bilinear filter's reach.
        const Rect texels = view_.ToWindow(Rect{static_cast<float>(stale.x), static_cast<float>(stale.y),
                                                static_cast<float>(stale.w), static_cast<float>(stale.h)},
                                           r);
        uploaded_ = Union(uploaded_, Intersect(Rect{texels.x - 2, texels.y - 2, texels.w + 4, texels.h + 4}, r));
    }
    const Rect view = view_.Shown();
    const auto w = static_cast<float>(screen_->Width()), h = static_cast<float>(screen_->Height());
    const auto texture = reinterpret_cast<ImTextureID>(static_cast<std::intptr_t>(screen_->Texture()));
    ImGui::GetBackgroundDrawList()->AddImage(texture, ImVec2(r.x, r.y), ImVec2(r.x + r.w, r.y + r.h),
                                             ImVec2(view.x / w, view.y / h),
                                             ImVec2((view.x + view.w) / w, (view.y + view.h) / h));
}

}  // namespace vhost
