// A game screen drawn with Cairo: the `snapshot` command lets the plug-in draw one frame
// onto it and writes it as a PNG.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/canvas_base.h"

namespace vhost {

// A rectangle of whole pixels: columns [x, x+w), rows [y, y+h).
struct PixelBox {
    int x = 0, y = 0, w = 0, h = 0;
    bool Empty() const { return w <= 0 || h <= 0; }
    // The smallest rectangle holding both (an empty one adds nothing).
    PixelBox Union(const PixelBox& other) const;
};

class SnapshotCanvas final : public CanvasBase {
public:
    // Creates the surface and paints a plain, dark, game-like background.
    explicit SnapshotCanvas(int width = 1920, int height = 1080);
    ~SnapshotCanvas() override;
    SnapshotCanvas(const SnapshotCanvas&) = delete;
    SnapshotCanvas& operator=(const SnapshotCanvas&) = delete;

    void FillBox(Vector2 size) override;
    void DrawLine(Vector2 start, Vector2 end) override;
    void DrawString(const std::string& text, float xScale, float yScale, bool dropShadow, bool wrapText) override;

    int Width() const;
    int Height() const;
    // The pixel at (x, y) as red, green, blue, alpha (alpha 255: the screen is opaque).
    Rgba PixelAt(int x, int y) const;
    // Writes the screen as a PNG. On failure returns false and says why in `error`.
    bool WritePng(const std::string& path, std::string& error) const;

    // For a screen drawn frame after frame: KeepBackground copies the pixels as they are now
    // (the background, once painted), RestoreBackground puts them back before the next frame.
    void KeepBackground();
    void RestoreBackground();
    // The same for the rectangle `box` only (clipped to the screen).
    void RestoreBackground(const PixelBox& box);
    // The smallest rectangle holding every pixel that differs from the kept background
    // (empty when none does, or when no background was kept).
    PixelBox ChangedFromBackground() const;
    // The pixels: rows of Stride() bytes, each pixel a native-endian 32-bit word 0xAARRGGBB
    // (opaque; B, G, R, A in memory on little-endian machines).
    const unsigned char* Pixels() const;
    int Stride() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace vhost
