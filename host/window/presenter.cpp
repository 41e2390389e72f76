#include "window/presenter.h"

#include <algorithm>
#include <functional>
#include <string_view>

namespace vhost {
namespace {

std::uint64_t Mix(std::uint64_t seed, std::uint64_t value) {
    return seed ^ (value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2));
}

std::uint64_t ListHash(const ImDrawList* list) {
    const std::hash<std::string_view> hash;
    std::uint64_t seed = hash(std::string_view(reinterpret_cast<const char*>(list->VtxBuffer.Data),
                                               static_cast<std::size_t>(list->VtxBuffer.size_in_bytes())));
    seed = Mix(seed, hash(std::string_view(reinterpret_cast<const char*>(list->IdxBuffer.Data),
                                           static_cast<std::size_t>(list->IdxBuffer.size_in_bytes()))));
    for (const ImDrawCmd& cmd : list->CmdBuffer) {
        seed = Mix(seed, reinterpret_cast<std::uintptr_t>(cmd.TextureId));
        seed = Mix(seed, cmd.ElemCount);
        seed = Mix(seed, std::hash<float>{}(cmd.ClipRect.x + 3.0f * cmd.ClipRect.y + 7.0f * cmd.ClipRect.z +
                                           11.0f * cmd.ClipRect.w));
    }
    return seed;
}

// Where a draw list can draw, in window coordinates: inside both its vertices' bounds and
// its clip rectangles (a window's frame is clipped to the whole display, not to the window).
Rect ListArea(const ImDrawList* list, float dx, float dy) {
    if (list->VtxBuffer.Size == 0) return {};
    ImVec2 min = list->VtxBuffer[0].pos, max = min;
    for (const ImDrawVert& v : list->VtxBuffer) {
        min = ImVec2(std::min(min.x, v.pos.x), std::min(min.y, v.pos.y));
        max = ImVec2(std::max(max.x, v.pos.x), std::max(max.y, v.pos.y));
    }
    Rect clips;
    for (const ImDrawCmd& cmd : list->CmdBuffer) {
        clips = Union(clips, Rect{cmd.ClipRect.x, cmd.ClipRect.y, cmd.ClipRect.z - cmd.ClipRect.x, cmd.ClipRect.w - cmd.ClipRect.y});
    }
    const Rect drawn = Intersect(Rect{min.x, min.y, max.x - min.x, max.y - min.y}, clips);
    return Outward(Rect{drawn.x + dx, drawn.y + dy, drawn.w, drawn.h});
}

}  // namespace

void AddArea(std::vector<Rect>& areas, Rect r) {
    if (r.Empty()) return;
    const auto size = [](const Rect& a) { return a.w * a.h; };
    // Areas may overlap (drawing a place twice shows the same); an L of changes does not
    // become a large box. Each area is a pass over every draw list, hence at most four.
    for (bool merged = true; merged;) {
        merged = false;
        for (auto it = areas.begin(); it != areas.end(); ++it) {
            const Rect both = Union(r, *it);
            if (size(both) <= size(r) + size(*it)) {
                r = both;
                areas.erase(it);
                merged = true;
                break;
            }
        }
    }
    areas.push_back(r);
    if (areas.size() > 4) {
        Rect all;
        for (const Rect& a : areas) all = Union(all, a);
        areas.assign(1, all);
    }
}

RedrawPlan Presenter::Plan(const std::vector<DrawSource>& sources, int width, int height, const Rect& uploaded) {
    std::vector<ShownList> now;
    now.reserve(shown_.size());
    for (std::size_t s = 0; s < sources.size(); ++s) {
        const ImDrawData* data = sources[s].data;
        if (data == nullptr || !data->Valid) continue;
        for (int l = 0; l < data->CmdListsCount; ++l) {
            now.push_back({Mix(ListHash(data->CmdLists[l]), s), ListArea(data->CmdLists[l], sources[s].dx, sources[s].dy)});
        }
    }
    const Rect window{0, 0, static_cast<float>(width), static_cast<float>(height)};
    std::vector<Rect> areas;
    bool whole = whole_ || now.size() != shown_.size() || width != shownWidth_ || height != shownHeight_;
    if (!whole) {
        for (std::size_t i = 0; i < now.size(); ++i) {
            // The same list drawn elsewhere (its source moved: the settings window when the
            // bar above it grows) changed too: it is drawn anew where it was and where it is.
            const Rect& was = shown_[i].area;
            const Rect& is = now[i].area;
            if (now[i].hash == shown_[i].hash && was.x == is.x && was.y == is.y && was.w == is.w && was.h == is.h) {
                continue;
            }
            AddArea(areas, Intersect(now[i].area, window));
            AddArea(areas, Intersect(shown_[i].area, window));
        }
        AddArea(areas, Intersect(Outward(uploaded), window));
        whole = areas.size() == 1 && areas[0].w >= window.w && areas[0].h >= window.h;
    }
    shown_ = std::move(now);
    shownWidth_ = width;
    shownHeight_ = height;
    whole_ = false;

    RedrawPlan plan;
    plan.draw = whole || !areas.empty();
    if (plan.draw && !whole && keptBackBuffer_) plan.areas = std::move(areas);
    return plan;
}

void ClipTo(ImDrawData* data, const Rect& area, std::vector<ImVec4>& saved) {
    saved.clear();
    const ImVec2 off = data->DisplayPos;  // the backend draws clip point c at c - DisplayPos
    for (int l = 0; l < data->CmdListsCount; ++l) {
        for (ImDrawCmd& cmd : data->CmdLists[l]->CmdBuffer) {
            saved.push_back(cmd.ClipRect);
            ImVec4& c = cmd.ClipRect;
            c.x = std::max(c.x, area.x + off.x);
            c.y = std::max(c.y, area.y + off.y);
            c.z = std::max(c.x, std::min(c.z, area.x + area.w + off.x));
            c.w = std::max(c.y, std::min(c.w, area.y + area.h + off.y));
        }
    }
}

void Unclip(ImDrawData* data, const std::vector<ImVec4>& saved) {
    std::size_t i = 0;
    for (int l = 0; l < data->CmdListsCount; ++l) {
        for (ImDrawCmd& cmd : data->CmdLists[l]->CmdBuffer) cmd.ClipRect = saved[i++];
    }
}

}  // namespace vhost
