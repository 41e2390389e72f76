#include "window/game_screen.h"

#include <GL/gl.h>

namespace vhost {

GameScreen::GameScreen(int width, int height) : canvas_(width, height) { canvas_.KeepBackground(); }

bool GameScreen::Show(RecordingCanvas& frame) {
    if (frame.SameCalls(shown_)) return false;
    // Only the last frame's drawing is taken off the background, and only what either frame
    // covers goes to the texture: the table is a small part of the screen.
    canvas_.RestoreBackground(drawn_);
    canvas_.ResetPen();
    frame.Replay(canvas_);
    shown_.Swap(frame);
    const PixelBox now = canvas_.ChangedFromBackground();
    stale_ = stale_.Union(drawn_).Union(now);
    drawn_ = now;
    ++redraws_;
    return true;
}

unsigned int GameScreen::Texture() {
    const bool created = texture_ == 0;
    if (created) {
        glGenTextures(1, &texture_);
        glBindTexture(GL_TEXTURE_2D, texture_);
        // Bilinear: mipmaps would read the small text better when the screen is shown much
        // smaller, but cost a software renderer (Mesa's llvmpipe) several times as much a frame.
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    }
    if (!stale_.Empty() || created) {
        glBindTexture(GL_TEXTURE_2D, texture_);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, canvas_.Stride() / 4);
        // Cairo's ARGB32 words are B, G, R, A in memory on little-endian machines.
        if (created) {
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, Width(), Height(), 0, GL_BGRA, GL_UNSIGNED_BYTE, canvas_.Pixels());
        } else {
            // Only the changed rectangle: the rest of the texture is already the screen's.
            glPixelStorei(GL_UNPACK_SKIP_PIXELS, stale_.x);
            glPixelStorei(GL_UNPACK_SKIP_ROWS, stale_.y);
            glTexSubImage2D(GL_TEXTURE_2D, 0, stale_.x, stale_.y, stale_.w, stale_.h, GL_BGRA, GL_UNSIGNED_BYTE,
                            canvas_.Pixels());
            glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
            glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
        }
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        stale_ = {};
        ++uploads_;
    }
    return texture_;
}

void GameScreen::ReleaseTexture() {
    if (texture_ != 0) glDeleteTextures(1, &texture_);
    texture_ = 0;
}

}  // namespace vhost
