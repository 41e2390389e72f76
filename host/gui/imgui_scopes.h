// Keeps a Dear ImGui frame well-formed around code the host does not control.
//
// A plug-in's settings tab draws into the host's context and may leave it mid-scope: it may
// throw between a Begin and its End, or simply forget a Pop. Dear ImGui asserts (and so
// aborts the host) when a window or frame ends with scopes still open, so the host records
// the open scopes before the tab draws and closes whatever the tab left open afterwards.
#pragma once

#include <imgui.h>
#include <imgui_internal.h>

namespace vhost {

class ImGuiScopes {
public:
    // Records the scopes open in the current context right now.
    static ImGuiScopes Capture();

    // True when exactly the recorded scopes are open again.
    bool Balanced() const;

    // Closes every scope opened since Capture(): windows (ended), tables, trees, columns,
    // groups, IDs, disabled blocks, style colours and variables, item flags, fonts, focus
    // scopes, item widths and text wrap positions. Tab bars opened since are dropped from
    // the tab-bar stack without being ended (ending one from another window would pop the
    // wrong ID stack); their IDs go with the ID stacks.
    void Restore() const;

private:
    ImGuiWindow* window_ = nullptr;
    int windowDepth_ = 0;
    int tabBarDepth_ = 0;
    int tableDepth_ = 0;
    int treeDepth_ = 0;
    ImGuiOldColumns* columns_ = nullptr;
    ImGuiStackSizes sizes_;
    int itemWidthDepth_ = 0;
    int textWrapDepth_ = 0;
};

}  // namespace vhost
