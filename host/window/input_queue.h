// The keyboard as Dear ImGui sees it, one change at a time. This Dear ImGui (1.86) reads keys
// as a state per frame: a key pressed and released between two frames (automation, remote
// desktops, a fast typist) would never be seen down, and text typed after an Enter would join
// the line before it. The window queues what the keyboard does and hands it over in order:
// characters until a key changes, each key change on a frame of its own, and characters after
// a key change on a later frame, once a text field has the focus again, so that every Enter
// runs the line typed before it.
#pragma once

#include <imgui.h>

#include <cstddef>
#include <deque>

namespace vhost {

class InputQueue {
public:
    // `key`: the platform's key code (an index into ImGuiIO::KeysDown).
    void Key(int key, bool down);
    void Char(unsigned int c);

    // Moves this frame's share of the queue into `io`: call before ImGui::NewFrame.
    // `takesText`: a text field is active. Characters wait (a few frames at most) until one
    // is: after an Enter the console's line takes the focus again only on a later frame.
    void Apply(ImGuiIO& io, bool takesText = true);

    bool Empty() const { return events_.empty(); }
    // Modifier keys (their codes; ImGuiIO's KeyCtrl and the like follow them).
    void SetModifierKeys(int leftCtrl, int rightCtrl, int leftShift, int rightShift, int leftAlt, int rightAlt,
                         int leftSuper, int rightSuper);

private:
    struct Event {
        bool isKey = false;
        int key = 0;
        bool down = false;
        unsigned int c = 0;
    };
    std::deque<Event> events_;
    int modifiers_[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
    int heldFrames_ = 0;
};

}  // namespace vhost
