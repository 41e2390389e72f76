#include "window/input_queue.h"

#include <iterator>

namespace vhost {

void InputQueue::Key(int key, bool down) {
    if (key < 0 || key >= static_cast<int>(std::size(ImGuiIO{}.KeysDown))) return;
    events_.push_back({true, key, down, 0});
}

void InputQueue::Char(unsigned int c) { events_.push_back({false, 0, false, c}); }

void InputQueue::SetModifierKeys(int leftCtrl, int rightCtrl, int leftShift, int rightShift, int leftAlt,
                                 int rightAlt, int leftSuper, int rightSuper) {
    const int keys[8] = {leftCtrl, rightCtrl, leftShift, rightShift, leftAlt, rightAlt, leftSuper, rightSuper};
    for (int i = 0; i < 8; ++i) modifiers_[i] = keys[i];
}

namespace {
constexpr int kMostHeldFrames = 4;  // characters no field takes are handed over all the same
}  // namespace

void InputQueue::Apply(ImGuiIO& io, bool takesText) {
    bool keyChanged = false;
    bool textTyped = false;
    while (!events_.empty()) {
        const Event& e = events_.front();
        if (e.isKey) {
            // One change a frame, and not in the frame that typed text: the text belongs to
            // the line that this key (an Enter) then runs.
            if (keyChanged || textTyped) break;
            if (io.KeysDown[e.key] == e.down) {
                events_.pop_front();  // a repeat of the state it is in: nothing changes
                continue;
            }
            io.KeysDown[e.key] = e.down;
            keyChanged = true;
        } else {
            if (keyChanged) break;
            if (!takesText && !textTyped && heldFrames_ < kMostHeldFrames) {
                ++heldFrames_;
                break;
            }
            heldFrames_ = 0;
            io.AddInputCharacter(e.c);
            textTyped = true;
        }
        events_.pop_front();
    }
    const auto down = [&](int i) { return modifiers_[i] >= 0 && io.KeysDown[modifiers_[i]]; };
    io.KeyCtrl = down(0) || down(1);
    io.KeyShift = down(2) || down(3);
    io.KeyAlt = down(4) || down(5);
    io.KeySuper = down(6) || down(7);
}

}  // namespace vhost
