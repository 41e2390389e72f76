// A canvas that keeps the calls of one frame, so that the window can tell whether a frame
// differs from the last one and replay it onto the Cairo game screen only when it does.
#pragma once

#include <string>
#include <vector>

#include "core/canvas_base.h"

namespace vhost {

class RecordingCanvas final : public CanvasBase {
public:
    void SetColor(unsigned char red, unsigned char green, unsigned char blue, unsigned char alpha) override;
    void SetPosition(Vector2 position) override;
    void SetPosition(Vector2F position) override;
    void FillBox(Vector2 size) override;
    void DrawLine(Vector2 start, Vector2 end) override;
    void DrawString(const std::string& text, float xScale, float yScale, bool dropShadow, bool wrapText) override;

    // Forgets the calls and puts the pen back to its start state; the calls' storage is kept.
    void Clear();
    // Makes the same calls, in order, on `target`.
    void Replay(pluginsdk::CanvasBackend& target) const;
    std::size_t Size() const { return count_; }

    // Same calls with the same arguments, in the same order.
    bool SameCalls(const RecordingCanvas& other) const;
    void Swap(RecordingCanvas& other) noexcept;

private:
    enum class Kind : unsigned char { Color, Position, PositionF, Box, Line, String };
    struct Call {
        Kind kind = Kind::Color;
        bool dropShadow = false;
        bool wrapText = false;
        unsigned char rgba[4] = {};
        int a = 0, b = 0, c = 0, d = 0;  // integer arguments
        float x = 0.0f, y = 0.0f;        // position or text scales
        std::string text;
    };
    Call& Next(Kind kind);

    // Calls are kept in place from frame to frame (count_ of them are this frame's), so that
    // the texts' buffers are reused rather than allocated afresh each frame.
    std::vector<Call> calls_;
    std::size_t count_ = 0;
};

}  // namespace vhost
