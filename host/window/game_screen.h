// The game screen of the window: the Cairo screen that `snapshot` draws, painted once with
// its background and then redrawn only when a frame's canvas calls differ from the last
// shown, and kept as an OpenGL texture of which only the changed rectangle is uploaded
// again after such a redraw.
#pragma once

#include <cstdint>

#include "../snapshot/snapshot_canvas.h"
#include "window/recording_canvas.h"

namespace vhost {

class GameScreen {
public:
    GameScreen(int width = 1920, int height = 1080);
    // The texture is deleted by ReleaseTexture, while the GL context is still current.
    ~GameScreen() = default;
    GameScreen(const GameScreen&) = delete;
    GameScreen& operator=(const GameScreen&) = delete;

    // Shows `frame` unless it makes the same calls as the frame shown now. True when the
    // screen was redrawn. Takes the frame's calls (`frame` gets the old ones back).
    bool Show(RecordingCanvas& frame);

    // The GL texture of the screen, uploaded first if the screen changed since. Needs the
    // window's GL context current.
    unsigned int Texture();
    void ReleaseTexture();

    int Width() const { return canvas_.Width(); }
    int Height() const { return canvas_.Height(); }
    const SnapshotCanvas& Canvas() const { return canvas_; }
    std::uint64_t Redraws() const { return redraws_; }
    std::uint64_t Uploads() const { return uploads_; }
    // Where the texture still differs from the screen (what Texture will upload).
    PixelBox Stale() const { return stale_; }
    // Where the screen now differs from its background (the frame's drawing).
    PixelBox Drawn() const { return drawn_; }

private:
    SnapshotCanvas canvas_;
    RecordingCanvas shown_;
    PixelBox drawn_;  // where the shown frame differs from the background
    PixelBox stale_;  // where the texture differs from the screen (a new texture is uploaded whole)
    unsigned int texture_ = 0;
    std::uint64_t redraws_ = 0;
    std::uint64_t uploads_ = 0;
};

}  // namespace vhost
