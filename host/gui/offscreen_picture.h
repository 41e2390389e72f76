// Pictures Dear ImGui draw data without a display: Mesa's off-screen OpenGL renders it
// into memory through ImGui's OpenGL2 renderer, and Cairo writes the pixels as a PNG.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ImDrawData;
struct osmesa_context;

namespace vhost {

class OffscreenPicture {
public:
    OffscreenPicture(int width, int height);
    // Shuts the renderer down; the ImGui context it was set up with must be current.
    ~OffscreenPicture();
    OffscreenPicture(const OffscreenPicture&) = delete;
    OffscreenPicture& operator=(const OffscreenPicture&) = delete;

    // Renders `data` (of the current ImGui context) and returns the picture as RGBA rows,
    // top row first. The GL context and the renderer are created on first use; the
    // renderer keeps its state in the current ImGui context. False (and why) on failure.
    bool Render(ImDrawData& data, std::vector<std::uint8_t>& rgba, std::string& error);

private:
    bool EnsureContext(std::string& error);

    int width_;
    int height_;
    osmesa_context* gl_ = nullptr;
    bool rendererReady_ = false;
    std::vector<std::uint8_t> buffer_;  // OSMesa's colour buffer, bottom row first
};

// Writes RGBA rows (top row first) as an opaque PNG. False (and why) on failure.
bool WriteRgbaPng(const std::vector<std::uint8_t>& rgba, int width, int height, const std::string& path,
                  std::string& error);

}  // namespace vhost
