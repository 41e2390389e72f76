#include "window/layout.h"

#include <algorithm>
#include <cmath>

namespace vhost {

Rect Union(const Rect& a, const Rect& b) {
    if (b.Empty()) return a;
    if (a.Empty()) return b;
    const float left = std::min(a.x, b.x), top = std::min(a.y, b.y);
    return {left, top, std::max(a.Right(), b.Right()) - left, std::max(a.Bottom(), b.Bottom()) - top};
}

Rect Intersect(const Rect& a, const Rect& b) {
    const float left = std::max(a.x, b.x), top = std::max(a.y, b.y);
    const float right = std::min(a.Right(), b.Right()), bottom = std::min(a.Bottom(), b.Bottom());
    if (right <= left || bottom <= top) return {};
    return {left, top, right - left, bottom - top};
}

Rect Outward(const Rect& r) {
    const float left = std::floor(r.x), top = std::floor(r.y);
    return {left, top, std::ceil(r.Right()) - left, std::ceil(r.Bottom()) - top};
}

Layout ComputeLayout(const LayoutInput& in) {
    Layout l;
    l.width = std::max(in.width, 1);
    l.height = std::max(in.height, 1);
    const auto w = static_cast<float>(l.width);
    const auto h = static_cast<float>(l.height);
    const float barHeight = std::min(h, std::ceil(static_cast<float>(in.barRows) * in.barRowHeight + 14.0f));
    l.bar = {0, 0, w, barHeight};

    const float below = h - barHeight;
    const float consoleHeight =
        std::min(below, std::max(in.consoleMin, std::floor(h * 0.28f)));
    const float middleHeight = std::max(0.0f, below - consoleHeight);
    const float top = barHeight;

    const float settingsWidth = std::min(static_cast<float>(in.settingsWidth), std::floor(w * 2.0f / 3.0f));
    const float settingsHeight = std::min(static_cast<float>(in.settingsHeight), middleHeight);
    l.game = {0, top, std::max(1.0f, w - settingsWidth), middleHeight};
    l.settings = {l.game.w, top, settingsWidth, settingsHeight};
    // The session panel shows under the settings where two lines fit.
    const float sideHeight = middleHeight - settingsHeight;
    l.side = sideHeight >= 48.0f ? Rect{l.game.w, top + settingsHeight, settingsWidth, sideHeight} : Rect{};
    l.console = {0, top + middleHeight, w, std::max(1.0f, h - top - middleHeight)};

    // The game screen keeps its aspect, centred in its area.
    float sw = l.game.w;
    float sh = sw / in.screenAspect;
    if (sh > l.game.h) {
        sh = l.game.h;
        sw = sh * in.screenAspect;
    }
    l.screen = {std::floor(l.game.x + (l.game.w - sw) / 2), std::floor(l.game.y + (l.game.h - sh) / 2), std::floor(sw),
                std::floor(sh)};
    return l;
}

}  // namespace vhost
