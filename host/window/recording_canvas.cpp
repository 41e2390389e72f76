#include "window/recording_canvas.h"

#include <cstring>
#include <utility>

namespace vhost {

RecordingCanvas::Call& RecordingCanvas::Next(Kind kind) {
    if (count_ == calls_.size()) calls_.emplace_back();
    Call& call = calls_[count_++];
    call.kind = kind;
    return call;
}

void RecordingCanvas::SetColor(unsigned char red, unsigned char green, unsigned char blue, unsigned char alpha) {
    CanvasBase::SetColor(red, green, blue, alpha);
    Call& call = Next(Kind::Color);
    const unsigned char rgba[4] = {red, green, blue, alpha};
    std::memcpy(call.rgba, rgba, sizeof rgba);
}

void RecordingCanvas::SetPosition(Vector2 position) {
    CanvasBase::SetPosition(position);
    Call& call = Next(Kind::Position);
    call.a = position.X;
    call.b = position.Y;
}

void RecordingCanvas::SetPosition(Vector2F position) {
    CanvasBase::SetPosition(position);
    Call& call = Next(Kind::PositionF);
    call.x = position.X;
    call.y = position.Y;
}

void RecordingCanvas::FillBox(Vector2 size) {
    Call& call = Next(Kind::Box);
    call.a = size.X;
    call.b = size.Y;
}

void RecordingCanvas::DrawLine(Vector2 start, Vector2 end) {
    Call& call = Next(Kind::Line);
    call.a = start.X;
    call.b = start.Y;
    call.c = end.X;
    call.d = end.Y;
}

void RecordingCanvas::DrawString(const std::string& text, float xScale, float yScale, bool dropShadow,
                                 bool wrapText) {
    Call& call = Next(Kind::String);
    call.text.assign(text);
    call.x = xScale;
    call.y = yScale;
    call.dropShadow = dropShadow;
    call.wrapText = wrapText;
}

void RecordingCanvas::Clear() {
    count_ = 0;
    ResetPen();
}

void RecordingCanvas::Replay(pluginsdk::CanvasBackend& target) const {
    for (std::size_t i = 0; i < count_; ++i) {
        const Call& call = calls_[i];
        switch (call.kind) {
            case Kind::Color: target.SetColor(call.rgba[0], call.rgba[1], call.rgba[2], call.rgba[3]); break;
            case Kind::Position: target.SetPosition(Vector2{call.a, call.b}); break;
            case Kind::PositionF: target.SetPosition(Vector2F{call.x, call.y}); break;
            case Kind::Box: target.FillBox(Vector2{call.a, call.b}); break;
            case Kind::Line: target.DrawLine(Vector2{call.a, call.b}, Vector2{call.c, call.d}); break;
            case Kind::String: target.DrawString(call.text, call.x, call.y, call.dropShadow, call.wrapText); break;
        }
    }
}

bool RecordingCanvas::SameCalls(const RecordingCanvas& other) const {
    // Fields a kind does not use keep older values, so compare per kind.
    if (count_ != other.count_) return false;
    for (std::size_t i = 0; i < count_; ++i) {
        const Call& p = calls_[i];
        const Call& q = other.calls_[i];
        if (p.kind != q.kind) return false;
        bool same = true;
        switch (p.kind) {
            case Kind::Color: same = std::memcmp(p.rgba, q.rgba, sizeof p.rgba) == 0; break;
            case Kind::Position:
            case Kind::Box: same = p.a == q.a && p.b == q.b; break;
            case Kind::PositionF:
                // Bitwise, so that a NaN position compares equal to itself.
                same = std::memcmp(&p.x, &q.x, sizeof p.x) == 0 && std::memcmp(&p.y, &q.y, sizeof p.y) == 0;
                break;
            case Kind::Line: same = p.a == q.a && p.b == q.b && p.c == q.c && p.d == q.d; break;
            case Kind::String:
                same = p.text == q.text && std::memcmp(&p.x, &q.x, sizeof p.x) == 0 &&
                       std::memcmp(&p.y, &q.y, sizeof p.y) == 0 && p.dropShadow == q.dropShadow &&
                       p.wrapText == q.wrapText;
                break;
        }
        if (!same) return false;
    }
    return true;
}

void RecordingCanvas::Swap(RecordingCanvas& other) noexcept {
    calls_.swap(other.calls_);
    std::swap(count_, other.count_);
    std::swap(color_, other.color_);
    std::swap(x_, other.x_);
    std::swap(y_, other.y_);
    std::swap(ix_, other.ix_);
    std::swap(iy_, other.iy_);
}

}  // namespace vhost
