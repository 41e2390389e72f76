#include "window/game_view.h"

#include <algorithm>

namespace vhost {

Rect GameView::Shown() const {
    const float vw = width_ / zoom_, vh = height_ / zoom_;
    const float x = std::clamp(centreX_ - vw / 2, 0.0f, width_ - vw);
    const float y = std::clamp(centreY_ - vh / 2, 0.0f, height_ - vh);
    return {x, y, vw, vh};
}

Rect GameView::ToWindow(const Rect& game, const Rect& area) const {
    const Rect view = Shown();
    const float sx = area.w / view.w, sy = area.h / view.h;
    return {area.x + (game.x - view.x) * sx, area.y + (game.y - view.y) * sy, game.w * sx, game.h * sy};
}

void GameView::ZoomAt(float factor, float x, float y, const Rect& area) {
    if (area.Empty()) return;
    const Rect view = Shown();
    const float gx = view.x + (x - area.x) / area.w * view.w;
    const float gy = view.y + (y - area.y) / area.h * view.h;
    zoom_ = std::clamp(zoom_ * factor, 1.0f, kMostZoom);
    const float vw = width_ / zoom_, vh = height_ / zoom_;
    centreX_ = gx - (x - area.x) / area.w * vw + vw / 2;
    centreY_ = gy - (y - area.y) / area.h * vh + vh / 2;
}

void GameView::OneToOne(const Rect& area, const Rect& drawn) {
    if (area.w <= 0) return;
    zoom_ = std::clamp(width_ / area.w, 1.0f, kMostZoom);
    if (!drawn.Empty()) {
        centreX_ = drawn.x + drawn.w / 2;
        centreY_ = drawn.y + drawn.h / 2;
    }
}

void GameView::Pan(float dx, float dy, const Rect& area) {
    if (area.Empty()) return;
    const Rect view = Shown();
    centreX_ = view.x + view.w / 2 - dx * view.w / area.w;
    centreY_ = view.y + view.h / 2 - dy * view.h / area.h;
}

}  // namespace vhost
