#include "gui/imgui_scopes.h"

namespace vhost {
namespace {

// What one window should be brought back to before it ends (or, for the window the
// capture was made in, before the host's own code carries on in it).
struct WindowFloor {
    int treeDepth;
    ImGuiOldColumns* columns;
    ImGuiStackSizes sizes;
    int itemWidthDepth;
    int textWrapDepth;
};

bool SameSizes(const ImGuiStackSizes& a, const ImGuiStackSizes& b) {
    return a.SizeOfIDStack == b.SizeOfIDStack && a.SizeOfColorStack == b.SizeOfColorStack &&
           a.SizeOfStyleVarStack == b.SizeOfStyleVarStack && a.SizeOfFontStack == b.SizeOfFontStack &&
           a.SizeOfFocusScopeStack == b.SizeOfFocusScopeStack &&
           a.SizeOfGroupStack == b.SizeOfGroupStack && a.SizeOfItemFlagsStack == b.SizeOfItemFlagsStack &&
           a.SizeOfBeginPopupStack == b.SizeOfBeginPopupStack &&
           a.SizeOfDisabledStack == b.SizeOfDisabledStack;
}

// Ends the tables whose outer or inner window is the current one, down to `tableDepth`.
void EndTablesOfCurrentWindow(ImGuiContext& g, int tableDepth) {
    while (g.TablesTempDataStacked > tableDepth && g.CurrentTable != nullptr &&
           (g.CurrentTable->OuterWindow == g.CurrentWindow || g.CurrentTable->InnerWindow == g.CurrentWindow)) {
        ImGui::EndTable();
    }
}

// Closes the scopes opened in the current window beyond `floor`, innermost kind first.
void CloseWindowScopes(ImGuiContext& g, const WindowFloor& floor) {
    ImGuiWindow* window = g.CurrentWindow;
    while (window->DC.TreeDepth > floor.treeDepth) ImGui::TreePop();
    if (window->DC.CurrentColumns != floor.columns && window->DC.CurrentColumns != nullptr) ImGui::EndColumns();
    while (g.GroupStack.Size > floor.sizes.SizeOfGroupStack) ImGui::EndGroup();
    while (window->IDStack.Size > floor.sizes.SizeOfIDStack) ImGui::PopID();
    while (g.DisabledStackSize > floor.sizes.SizeOfDisabledStack) ImGui::EndDisabled();
    while (g.ColorStack.Size > floor.sizes.SizeOfColorStack) ImGui::PopStyleColor();
    while (g.ItemFlagsStack.Size > floor.sizes.SizeOfItemFlagsStack) ImGui::PopItemFlag();
    while (g.StyleVarStack.Size > floor.sizes.SizeOfStyleVarStack) ImGui::PopStyleVar();
    while (g.FontStack.Size > floor.sizes.SizeOfFontStack) ImGui::PopFont();
    while (g.FocusScopeStack.Size > floor.sizes.SizeOfFocusScopeStack) ImGui::PopFocusScope();
    while (window->DC.ItemWidthStack.Size > floor.itemWidthDepth) ImGui::PopItemWidth();
    while (window->DC.TextWrapPosStack.Size > floor.textWrapDepth) ImGui::PopTextWrapPos();
}

}  // namespace

ImGuiScopes ImGuiScopes::Capture() {
    ImGuiContext& g = *ImGui::GetCurrentContext();
    ImGuiScopes s;
    s.window_ = g.CurrentWindow;
    s.windowDepth_ = g.CurrentWindowStack.Size;
    s.tabBarDepth_ = g.CurrentTabBarStack.Size;
    s.tableDepth_ = g.TablesTempDataStacked;
    s.treeDepth_ = s.window_->DC.TreeDepth;
    s.columns_ = s.window_->DC.CurrentColumns;
    s.sizes_.SetToCurrentState();
    s.itemWidthDepth_ = s.window_->DC.ItemWidthStack.Size;
    s.textWrapDepth_ = s.window_->DC.TextWrapPosStack.Size;
    return s;
}

bool ImGuiScopes::Balanced() const {
    ImGuiContext& g = *ImGui::GetCurrentContext();
    if (g.CurrentWindow != window_ || g.CurrentWindowStack.Size != windowDepth_) return false;
    ImGuiStackSizes now;
    now.SetToCurrentState();
    return g.CurrentTabBarStack.Size == tabBarDepth_ && g.TablesTempDataStacked == tableDepth_ &&
           window_->DC.TreeDepth == treeDepth_ && window_->DC.CurrentColumns == columns_ && SameSizes(now, sizes_) &&
           window_->DC.ItemWidthStack.Size == itemWidthDepth_ && window_->DC.TextWrapPosStack.Size == textWrapDepth_;
}

void ImGuiScopes::Restore() const {
    ImGuiContext& g = *ImGui::GetCurrentContext();

    // Tab bars keep no scope of their own beyond a pushed ID, so dropping them is enough.
    if (g.CurrentTabBarStack.Size > tabBarDepth_) {
        g.CurrentTabBarStack.resize(tabBarDepth_);
        if (g.CurrentTabBarStack.empty()) {
            g.CurrentTabBar = nullptr;
        } else {
            const ImGuiPtrOrIndex& ref = g.CurrentTabBarStack.back();
            g.CurrentTabBar = ref.Ptr != nullptr ? static_cast<ImGuiTabBar*>(ref.Ptr) : g.TabBars.GetByIndex(ref.Index);
        }
    }

    // Windows begun since the capture: close what is open in each, then end it. Ending a
    // table may end its inner child window too, hence the re-check after tables.
    while (g.CurrentWindowStack.Size > windowDepth_) {
        EndTablesOfCurrentWindow(g, tableDepth_);
        if (g.CurrentWindowStack.Size <= windowDepth_) break;
        ImGuiWindow* window = g.CurrentWindow;
        const WindowFloor floor{0, nullptr, g.CurrentWindowStack.back().StackSizesOnBegin, 0, 0};
        CloseWindowScopes(g, floor);
        if ((window->Flags & ImGuiWindowFlags_ChildWindow) != 0) {
            ImGui::EndChild();
        } else {
            ImGui::End();
        }
    }

    if (g.CurrentWindow == window_) {
        EndTablesOfCurrentWindow(g, tableDepth_);
        CloseWindowScopes(g, WindowFloor{treeDepth_, columns_, sizes_, itemWidthDepth_, textWrapDepth_});
    }
}

}  // namespace vhost
