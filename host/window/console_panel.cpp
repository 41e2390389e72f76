#include "window/console_panel.h"

#include <algorithm>

namespace vhost {

std::optional<std::string> ConsolePanel::Draw(const Rect& area, const ConsoleBuffer& lines, ImFont* font,
                                              WidgetPlaces& widgets) {
    BeginPanel("Console", area, ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoCollapse);
    ImGui::PushFont(font);
    const float inputHeight = ImGui::GetFrameHeightWithSpacing();
    ImGui::BeginChild("##output", ImVec2(0, -inputHeight), false, ImGuiWindowFlags_HorizontalScrollbar);
    DrawOutput(lines);
    ImGui::EndChild();

    ImGui::SetNextItemWidth(-1);
    if (focus_) {
        ImGui::SetKeyboardFocusHere();
        focus_ = false;
    }
    const bool entered = ImGui::InputTextWithHint(
        "##input", "command (help lists them; up and down: history)", input_.data(), input_.size(),
        ImGuiInputTextFlags_EnterReturnsTrue | ImGuiInputTextFlags_CallbackHistory, &ConsolePanel::History, this);
    widgets.RecordLast("console");
    ImGui::PopFont();
    ImGui::End();
    if (!entered) return std::nullopt;
    std::string line(input_.data());
    input_.fill('\0');
    historyPos_ = -1;
    if (!line.empty() && (history_.empty() || history_.back() != line)) history_.push_back(line);
    focus_ = true;
    toEnd_ = true;
    return line;
}

void ConsolePanel::DrawOutput(const ConsoleBuffer& buffer) {
    const auto& lines = buffer.Lines();
    ImGuiListClipper clipper;
    clipper.Begin(static_cast<int>(lines.size()));
    while (clipper.Step()) {
        for (int i = clipper.DisplayStart; i < clipper.DisplayEnd; ++i) {
            const ConsoleLine& line = lines[static_cast<std::size_t>(i)];
            ImVec4 colour = ImGui::GetStyleColorVec4(ImGuiCol_Text);
            switch (line.kind) {
                case ConsoleLine::Kind::Out: break;
                case ConsoleLine::Kind::Err: colour = ImVec4(1.0f, 0.45f, 0.45f, 1.0f); break;
                case ConsoleLine::Kind::Command: colour = ImVec4(0.55f, 0.75f, 1.0f, 1.0f); break;
                case ConsoleLine::Kind::Log: colour = ImVec4(0.6f, 0.9f, 0.6f, 1.0f); break;
                case ConsoleLine::Kind::Note: colour = ImGui::GetStyleColorVec4(ImGuiCol_TextDisabled); break;
            }
            ImGui::PushStyleColor(ImGuiCol_Text, colour);
            if (line.kind == ConsoleLine::Kind::Log) {
                ImGui::TextUnformatted("log ");
                ImGui::SameLine(0, 0);
            }
            ImGui::TextUnformatted(line.text.data(), line.text.data() + line.text.size());
            ImGui::PopStyleColor();
        }
    }
    // The output follows its newest line, through new lines and resizes alike, unless the
    // user scrolled up to read; scrolling back down follows again.
    const float height = ImGui::GetWindowHeight();
    const bool resized = height != lastHeight_;
    lastHeight_ = height;
    if (toEnd_) {
        follow_ = true;
    } else if (!resized) {
        follow_ = ImGui::GetScrollY() >= ImGui::GetScrollMaxY() - 4.0f;
    }
    if (follow_ && (buffer.Added() != seen_ || resized || toEnd_)) ImGui::SetScrollHereY(1.0f);
    seen_ = buffer.Added();
    toEnd_ = false;
    scrollY_ = ImGui::GetScrollY();
    scrollMax_ = ImGui::GetScrollMaxY();
}

int ConsolePanel::History(ImGuiInputTextCallbackData* data) {
    auto& panel = *static_cast<ConsolePanel*>(data->UserData);
    if (data->EventFlag != ImGuiInputTextFlags_CallbackHistory || panel.history_.empty()) return 0;
    const int count = static_cast<int>(panel.history_.size());
    if (data->EventKey == ImGuiKey_UpArrow) {
        panel.historyPos_ = panel.historyPos_ < 0 ? count - 1 : std::max(0, panel.historyPos_ - 1);
    } else if (data->EventKey == ImGuiKey_DownArrow) {
        if (panel.historyPos_ >= 0 && ++panel.historyPos_ >= count) panel.historyPos_ = -1;
    }
    data->DeleteChars(0, data->BufTextLen);
    if (panel.historyPos_ >= 0) data->InsertChars(0, panel.history_[static_cast<std::size_t>(panel.historyPos_)].c_str());
    return 0;
}

}  // namespace vhost
