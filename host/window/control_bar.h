// The window's control bar: the virtual clock (pause, speeds, a one-second step), the view of
// the game screen, the script's state and the counts a developer watches; the game's moves
// (a match on a chosen playlist, won or lost, the scoreboard) and the rating the server
// reports; the settings window opened and closed. Also the small session panel under the
// settings window. Every control is recorded by its label (WidgetPlaces).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "core/host.h"
#include "core/script_player.h"
#include "window/layout.h"
#include "window/widget_places.h"

namespace vhost {

// The virtual clock as the bar sets it: real time times `speed`, unless paused; a step
// adds seconds at the next frame.
struct ClockControl {
    double speed = 1.0;
    bool paused = false;
    double stepRequest = 0.0;
};

class ControlBar {
public:
    // What the bar shows and acts on.
    struct Context {
        Host& host;
        ClockControl& clock;
        const ScriptPlayer& script;
        std::uint64_t screenRedraws = 0;
        std::function<Outcome(const std::string&)> run;  // a line run as if typed in the console
        std::function<void()> fit;                       // the whole game screen in view
        std::function<void()> oneToOne;                  // one game pixel to one window pixel
        WidgetPlaces& widgets;
    };

    // The rows the bar needs at this width: two where the game's moves and the rating fit on
    // one, else three (the rating and the counts then get a row of their own).
    static int Rows(float width) { return width >= 1500.0f ? 2 : 3; }

    void Draw(const Rect& area, Context& c);
    // The session panel: what is loaded and pending, how often the screen was redrawn.
    void DrawSessionPanel(const Rect& area, Host& host) const;

    // The rating the box holds (what Won, Lost and Set rating have the server report).
    float Rating() const { return rating_; }

private:
    void DrawClockRow(const Rect& area, Context& c);
    void DrawGameRow(Context& c);
    void DrawServerRow(const Rect& area, Context& c);
    void DrawCounts(Context& c);
    void SetRating(Context& c, int playlist);

    int playlistChoice_ = 1;
    int team_ = 0;
    float rating_ = 1000.0f;
    float ratingAfter_ = 3.0f;
    bool withResult_ = true;  // Won and Lost also have the server report the rating
    // The slowly changing labels, at a reading pace.
    std::chrono::steady_clock::time_point labelsDue_{};
    double clockLabel_ = 0.0;
    double waitLabel_ = 0.0;
    std::uint64_t redrawsLabel_ = 0;
};

}  // namespace vhost
