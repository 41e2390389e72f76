#include "game_screen.h"

#include <GL/gl.h>

namespace vhost {

GameScreen::GameScreen(int width, int height) : canvas_(width, height) { canvas_.KeepBackground(); }

bool GameScreen::Show(RecordingCanvas& frame) {
    if (frame.SameCalls(shown_)) return false;
    canvas_.RestoreBackground();
    canvas_.ResetPen();
    frame.Replay(canvas_);
    shown_.Swap(frame);
    uploaded_ = false;
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
    if (!uploaded_ || created) {
        glBindTexture(GL_TEXTURE_2D, texture_);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, canvas_.Stride() / 4);
        // Cairo's ARGB32 words are B, G, R, A in memory on little-endian machines.
        if (created) {
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, Width(), Height(), 0, GL_BGRA, GL_UNSIGNED_BYTE, canvas_.Pixels());
        } else {
            glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, Width(), Height(), GL_BGRA, GL_UNSIGNED_BYTE, canvas_.Pixels());
        }
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        uploaded_ = true;
        ++uploads_;
    }
    return texture_;
}

void GameScreen::ReleaseTexture() {
    if (texture_ != 0) glDeleteTextures(1, &texture_);
    texture_ = 0;
    uploaded_ = false;
}

}  // namespace vhost
