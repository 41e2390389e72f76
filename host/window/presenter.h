// The partial redraw: from the Dear ImGui frames the window shows (its own and the settings
// window's), which parts of the window differ from what it showed last, so that only those
// are drawn again (with a software GL, drawing is most of a frame's cost). A draw list is
// compared by a hash of its vertices, indices and commands and by where it lands; a changed
// or moved list takes where it drew before and where it draws now. Needs no display: it reads draw data only.
#pragma once

#include <imgui.h>

#include <cstdint>
#include <vector>

#include "window/layout.h"

namespace vhost {

// One Dear ImGui frame as the window shows it: its draw data, moved by (dx, dy) into the
// window's coordinates.
struct DrawSource {
    const ImDrawData* data = nullptr;
    float dx = 0, dy = 0;
};

struct RedrawPlan {
    bool draw = false;        // false: the window already shows this frame
    std::vector<Rect> areas;  // where to draw; empty (with draw): the whole window
};

class Presenter {
public:
    // `keptBackBuffer`: a swap leaves the back buffer as it was, so drawing only the changed
    // areas is enough. Without it every drawn frame is drawn whole.
    explicit Presenter(bool keptBackBuffer = true) : keptBackBuffer_(keptBackBuffer) {}

    // What to draw for this frame, in a window of `width` x `height`: the changed lists'
    // areas and `uploaded` (a part of the game screen changed outside Dear ImGui). A change of
    // size, or of the number of lists (a window or a popup opening or closing), takes the
    // whole window, as does the first frame and the one after Invalidate.
    RedrawPlan Plan(const std::vector<DrawSource>& sources, int width, int height, const Rect& uploaded = {});

    // The window system lost what the window showed (an expose): the next frame is drawn whole.
    void Invalidate() { whole_ = true; }
    bool KeptBackBuffer() const { return keptBackBuffer_; }

private:
    struct ShownList {
        std::uint64_t hash = 0;
        Rect area;  // where it can draw: nothing it draws lies outside
    };
    bool keptBackBuffer_;
    bool whole_ = true;
    std::vector<ShownList> shown_;
    int shownWidth_ = 0, shownHeight_ = 0;
};

// Adds `r` to the areas to draw: merged with an area when their bounding rectangle is no
// larger than the two apart; past four areas they become one.
void AddArea(std::vector<Rect>& areas, Rect r);

// Narrows every clip rectangle of `data` to `area` (window coordinates), keeping the old
// ones in `saved` for Unclip. A renderer skips commands whose rectangle ends up empty.
void ClipTo(ImDrawData* data, const Rect& area, std::vector<ImVec4>& saved);
void Unclip(ImDrawData* data, const std::vector<ImVec4>& saved);

}  // namespace vhost
