// The floor of a frame of the statistics table: the canvas calls the overlay makes
// (colours, the box, 16 lines, 17 strings at their positions, GetPosition once a row) with
// the strings ready-made, copied into DrawString's by-value parameter as the SDK forces.
// It copies the overlay's drawing code without its formatting; tests/plugin/floor_test.cpp
// keeps the two in step call for call.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include <pluginsdk/wrappers.h>

namespace bench {

struct FloorFrame {
    float x = 0.0f;
    float y = 0.0f;
    std::string header;
    struct Row {
        std::array<unsigned char, 3> colour{};
        std::array<std::string, 4> texts;  // name, W/L, change, rank column
    };
    std::array<Row, 4> rows;  // three modes and the total

    // Takes the strings and colours of a frame the plug-in drew, from its trace
    // (vhost::TraceCanvas); throws std::runtime_error unless it is a frame of the table.
    // Texts are taken as the trace quotes them: a text with escapes draws differently,
    // which a comparison of the two traces shows.
    static FloorFrame From(const std::vector<std::string>& trace, float x, float y);
    void Draw(CanvasWrapper canvas) const;
};

// Strings of a frame's trace longer than libstdc++'s small-string buffer (15 characters):
// each costs one heap allocation when it is copied into DrawString's by-value parameter.
std::size_t LongStrings(const std::vector<std::string>& trace);

}  // namespace bench
