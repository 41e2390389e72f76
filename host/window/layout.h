// Where the window's parts go: the control bar on top, the game screen and the settings
// window side by side in the middle (the session panel under the settings when there is
// room), the console below. Pure arithmetic, so that the layout is tested without a display.
#pragma once

namespace vhost {

struct Rect {
    float x = 0, y = 0, w = 0, h = 0;
    bool Empty() const { return w <= 0 || h <= 0; }
    bool Contains(float px, float py) const { return px >= x && py >= y && px < x + w && py < y + h; }
    float Right() const { return x + w; }
    float Bottom() const { return y + h; }
};

// The smallest rectangle holding both (an empty one adds nothing), the common part, and the
// smallest rectangle of whole pixels holding `r`.
Rect Union(const Rect& a, const Rect& b);
Rect Intersect(const Rect& a, const Rect& b);
Rect Outward(const Rect& r);

struct LayoutInput {
    int width = 0, height = 0;                 // the window, in pixels
    int settingsWidth = 640, settingsHeight = 360;  // the settings window's own size
    float screenAspect = 16.0f / 9.0f;         // the game screen's width over its height
    float barRowHeight = 26.0f;                // one row of the control bar
    int barRows = 2;                           // rows the bar needs at this width
    float consoleMin = 150.0f;                 // the console: title, three lines and the input line
};

struct Layout {
    int width = 0, height = 0;
    Rect bar, game, screen, settings, side, console;  // screen: the game screen inside `game`, aspect kept
};

// The console keeps at least `consoleMin` (or what is left under the bar); the middle takes
// the rest. The settings window keeps its width where the game screen keeps a third of the
// window, and is cut at the bottom when the middle is lower than it.
Layout ComputeLayout(const LayoutInput& in);

}  // namespace vhost
