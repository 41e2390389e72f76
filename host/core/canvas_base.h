// Pen state shared by the host's canvases: the current colour and position, and the
// float-to-integer conversion that GetPosition reports.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

#include <pluginsdk/backend.h>

namespace vhost {

struct Rgba {
    unsigned char r = 255, g = 255, b = 255, a = 255;
};

// Truncates toward zero, saturating at the int range; NaN becomes 0.
inline int TruncateToInt(float value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483648.0f) return std::numeric_limits<int>::max();
    if (value <= -2147483648.0f) return std::numeric_limits<int>::min();
    return static_cast<int>(value);
}

// Keeps colour and position; subclasses draw. A Vector2F position is kept as set and
// reported by GetPosition truncated toward zero.
class CanvasBase : public pluginsdk::CanvasBackend {
public:
    void SetColor(unsigned char red, unsigned char green, unsigned char blue, unsigned char alpha) override {
        color_ = {red, green, blue, alpha};
    }
    void SetPosition(Vector2 position) override {
        x_ = static_cast<float>(position.X);
        y_ = static_cast<float>(position.Y);
        ix_ = position.X;
        iy_ = position.Y;
    }
    void SetPosition(Vector2F position) override {
        x_ = position.X;
        y_ = position.Y;
        ix_ = TruncateToInt(position.X);
        iy_ = TruncateToInt(position.Y);
    }
    Vector2 GetPosition() override { return {ix_, iy_}; }

    // The pen as a fresh canvas has it: white, at 0,0.
    void ResetPen() {
        color_ = Rgba{};
        x_ = y_ = 0.0f;
        ix_ = iy_ = 0;
    }

protected:
    Rgba color_;
    float x_ = 0.0f, y_ = 0.0f;  // exact position as last set
    int ix_ = 0, iy_ = 0;        // the same, as GetPosition reports it
};

}  // namespace vhost
