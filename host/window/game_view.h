// Which part of the game screen the window shows, and where: the whole screen fitted to its
// area, or closer (the mouse wheel zooms at the pointer, the right button moves the view,
// `1:1` shows one game pixel on one window pixel). Pure arithmetic, tested without a display.
#pragma once

#include "window/layout.h"

namespace vhost {

class GameView {
public:
    static constexpr float kMostZoom = 16.0f;

    // A game screen of `width` x `height` game pixels.
    GameView(float width, float height) : width_(width), height_(height), centreX_(width / 2), centreY_(height / 2) {}

    // The part of the game screen shown, in game pixels (always inside the screen).
    Rect Shown() const;
    // Where a rectangle of game pixels lands in `area` (window pixels) that shows Shown().
    Rect ToWindow(const Rect& game, const Rect& area) const;

    // Zooms by `factor` (1 to kMostZoom in all), keeping the game pixel under the window
    // point (x, y) of `area` where it is.
    void ZoomAt(float factor, float x, float y, const Rect& area);
    // One game pixel to one window pixel of `area`, centred on `drawn` (game pixels) unless
    // it is empty.
    void OneToOne(const Rect& area, const Rect& drawn);
    // The whole screen again.
    void Fit() { zoom_ = 1.0f; }
    // Moves the view with the pointer by (dx, dy) window pixels of `area`.
    void Pan(float dx, float dy, const Rect& area);

    float Zoom() const { return zoom_; }

private:
    float width_, height_;
    float zoom_ = 1.0f;  // 1: the whole screen fits; more: closer
    float centreX_, centreY_;  // the shown part's centre, in game pixels
};

}  // namespace vhost
