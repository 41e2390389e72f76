#include "floor.h"

#include <cstdio>
#include <stdexcept>

#include "Format.h"

namespace bench {
namespace {

// The quoted texts of a trace's DrawString lines, in order.
std::vector<std::string> Strings(const std::vector<std::string>& trace) {
    std::vector<std::string> strings;
    for (const std::string& line : trace) {
        if (line.rfind("DrawString \"", 0) == 0) strings.push_back(line.substr(12, line.rfind('"') - 12));
    }
    return strings;
}

// A canvas point must be computed for any position, so the floor converts as the plug-in
// must: toward zero, saturating at the int range, NaN to 0 (Format.h, inline).
inline Vector2 At(float x, float y) { return ToVector2(x, y); }
inline int Add(int a, int b) { return SaturatingAdd(a, b); }

}  // namespace

FloorFrame FloorFrame::From(const std::vector<std::string>& trace, float x, float y) {
    FloorFrame frame;
    frame.x = x;
    frame.y = y;
    const std::vector<std::string> strings = Strings(trace);
    if (strings.size() != 17) throw std::runtime_error("a frame of the table draws 17 strings");
    frame.header = strings[0];
    std::vector<std::array<unsigned char, 3>> colours;
    for (const std::string& line : trace) {
        unsigned r = 0, g = 0, b = 0, a = 0;
        if (std::sscanf(line.c_str(), "SetColor %u %u %u %u", &r, &g, &b, &a) == 4) {
            colours.push_back({static_cast<unsigned char>(r), static_cast<unsigned char>(g),
                               static_cast<unsigned char>(b)});
        }
    }
    if (colours.size() != 7) throw std::runtime_error("a frame of the table sets 7 colours");
    for (std::size_t r = 0; r < 4; ++r) {
        frame.rows[r].colour = colours[3 + r];
        for (std::size_t c = 0; c < 4; ++c) frame.rows[r].texts[c] = strings[1 + 4 * r + c];
    }
    return frame;
}

void FloorFrame::Draw(CanvasWrapper canvas) const {
    canvas.SetColor(0, 0, 0, 175);
    canvas.SetPosition(At(x - 5, y - 5));
    canvas.FillBox(Vector2{290, 110});
    canvas.SetColor(255, 255, 255, 175);
    for (float k : {0.0f, 20.0f, 40.0f, 60.0f, 80.0f, 100.0f}) canvas.DrawLine(At(x, y + k), At(x + 280, y + k));
    for (float c : {0.0f, 40.0f, 62.0f, 85.0f, 150.0f, 200.0f, 280.0f})
        canvas.DrawLine(At(x + c, y), At(x + c, y + 100));
    canvas.DrawLine(At(x + 95, y + 14), At(x + 100, y + 4));
    canvas.DrawLine(At(x + 100, y + 4), At(x + 105, y + 14));
    canvas.DrawLine(At(x + 95, y + 14), At(x + 105, y + 14));
    canvas.SetPosition(Vector2F{x, y + 2});
    canvas.SetColor(230, 230, 230, 255);
    canvas.DrawString(header, 1.0f, 1.0f, false, false);
    for (std::size_t r = 0; r < 4; ++r) {
        const Row& row = rows[r];
        canvas.SetPosition(Vector2F{x + 2, y + 2 + 20.0f * static_cast<float>(r + 1)});
        canvas.SetColor(row.colour[0], row.colour[1], row.colour[2], 255);
        const Vector2 p = canvas.GetPosition();
        canvas.DrawString(row.texts[0], 1.0f, 1.0f, false, false);
        canvas.SetPosition(Vector2{Add(p.X, 39), p.Y});
        canvas.DrawString(row.texts[1], 1.0f, 1.0f, false, false);
        canvas.SetPosition(Vector2{Add(p.X, 86), p.Y});
        canvas.DrawString(row.texts[2], 1.0f, 1.0f, false, false);
        canvas.SetPosition(Vector2{Add(p.X, 153), p.Y});
        canvas.DrawString(row.texts[3], 1.0f, 1.0f, false, false);
    }
}

std::size_t LongStrings(const std::vector<std::string>& trace) {
    std::size_t count = 0;
    for (const std::string& s : Strings(trace)) count += s.size() > 15 ? 1 : 0;
    return count;
}

}  // namespace bench
