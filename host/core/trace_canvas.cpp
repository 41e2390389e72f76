#include "core/trace_canvas.h"

#include <fmt/format.h>

namespace vhost {

std::string QuoteCanvasText(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
                    out += fmt::format("\\x{:02x}", static_cast<unsigned char>(c));
                } else {
                    out += c;
                }
        }
    }
    out += '"';
    return out;
}

void TraceCanvas::SetColor(unsigned char red, unsigned char green, unsigned char blue, unsigned char alpha) {
    CanvasBase::SetColor(red, green, blue, alpha);
    lines_.push_back(fmt::format("SetColor {} {} {} {}", red, green, blue, alpha));
}

void TraceCanvas::SetPosition(Vector2 position) {
    CanvasBase::SetPosition(position);
    lines_.push_back(fmt::format("SetPosition {} {}", position.X, position.Y));
}

void TraceCanvas::SetPosition(Vector2F position) {
    CanvasBase::SetPosition(position);
    lines_.push_back(fmt::format("SetPosition {:.2f} {:.2f}", position.X, position.Y));
}

void TraceCanvas::FillBox(Vector2 size) { lines_.push_back(fmt::format("FillBox {} {}", size.X, size.Y)); }

void TraceCanvas::DrawLine(Vector2 start, Vector2 end) {
    lines_.push_back(fmt::format("DrawLine {} {} {} {}", start.X, start.Y, end.X, end.Y));
}

void TraceCanvas::DrawString(const std::string& text, float xScale, float yScale, bool dropShadow, bool wrapText) {
    lines_.push_back(fmt::format("DrawString {} {:.2f} {:.2f} {} {}", QuoteCanvasText(text), xScale, yScale,
                                 dropShadow ? 1 : 0, wrapText ? 1 : 0));
}

Vector2 TraceCanvas::GetPosition() {
    const Vector2 position = CanvasBase::GetPosition();
    if (recordReads_) lines_.push_back(fmt::format("GetPosition {} {}", position.X, position.Y));
    return position;
}

}  // namespace vhost
