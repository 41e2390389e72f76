// A settings panel built into a shared library with its own copy of Dear ImGui, as a
// plug-in module is: the host hands it the context address and it draws through its copy.
#pragma once

#include <cstdint>

extern "C" {

struct OtherCopyPanel {
    bool checked;
    int clicks;
    float minX, minY, maxX, maxY;  // the check box, as drawn
};

// SetCurrentContext in the library's copy.
void OtherCopySetContext(std::uintptr_t context);
// The current context of the library's copy.
std::uintptr_t OtherCopyCurrentContext();
// Draws a check box into the current window of the library's copy.
void OtherCopyDraw(OtherCopyPanel* panel);
}
