// The window's own panels: the control bar (clock, script, the game's moves), the session
// panel and the console. Every control is recorded by its label (the test hooks find them so).
#include <imgui.h>

#include <algorithm>
#include <iterator>

#include <fmt/format.h>

#include "session.h"

namespace vhost {
namespace {

constexpr double kSpeeds[] = {1.0, 10.0, 60.0};

struct PlaylistChoice {
    const char* name;
    int playlist;
};
constexpr PlaylistChoice kPlaylists[] = {{"1vs1 (10)", 10}, {"2vs2 (11)", 11}, {"3vs3 (13)", 13}, {"Casual (6)", 6}};

// The width of a button that shows either label: a control keeps its place and size when
// its label changes, so the pointer stays on what it pressed.
float ButtonWidth(const char* a, const char* b) {
    const float pad = ImGui::GetStyle().FramePadding.x * 2.0f;
    return std::max(ImGui::CalcTextSize(a).x, ImGui::CalcTextSize(b).x) + pad;
}

// The visible part of a label ("Run##pause" shows "Run").
std::string Visible(const char* label) {
    const std::string text(label);
    return text.substr(0, text.find("##"));
}

}  // namespace

void Session::Record(const std::string& label) {
    const ImVec2 min = ImGui::GetItemRectMin(), max = ImGui::GetItemRectMax();
    widgets_[label] = {min.x, min.y, max.x - min.x, max.y - min.y};
}

bool Session::Button(const char* label, float width) {
    const bool pressed = ImGui::Button(label, ImVec2(width, 0));
    Record(Visible(label));
    return pressed;
}

// Two rows where the game's moves and the rating fit on one, else three.
int Session::BarRows(float width) const { return width >= 1500.0f ? 2 : 3; }

void Session::DrawBar() {
    const Rect& r = layout_.bar;
    BeginPanel("##bar", r, ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoScrollWithMouse);
    World& world = host_->world();

    // First row: the clock, the view of the game screen, the script and the counts a
    // developer watches.
    ImGui::AlignTextToFramePadding();
    // Running labels (the clock, a script's wait, the redraw count) change at a reading
    // pace, ten times a second of real time: each change costs a drawn frame. A paused
    // clock shows its value at once (a step is seen as it is made).
    if (clock_.paused || SteadyClock::now() >= bar_.labelsDue) {
        bar_.labelsDue = SteadyClock::now() + std::chrono::milliseconds(100);
        bar_.clockLabel = world.Now();
        bar_.waitLabel = script_.WaitLeft();
        bar_.redrawsLabel = screen_->Redraws();
    }
    // The clock's digits take a fixed width: the buttons after it keep their places.
    const float clockX = ImGui::GetCursorPosX();
    ImGui::Text("Clock %.1f s", bar_.clockLabel);
    ImGui::SameLine(clockX + ImGui::CalcTextSize("Clock 0000000.0 s").x);
    if (Button(clock_.paused ? "Run##pause" : "Pause##pause", ButtonWidth("Run", "Pause"))) clock_.paused = !clock_.paused;
    for (const double speed : kSpeeds) {
        ImGui::SameLine();
        // The chosen speed stays marked while paused: it is the speed Run goes back to.
        const bool current = clock_.speed == speed;
        if (current) ImGui::PushStyleColor(ImGuiCol_Button, ImGui::GetStyleColorVec4(ImGuiCol_ButtonActive));
        const std::string label = fmt::format("{:g}x", speed);
        if (Button(label.c_str())) {
            clock_.speed = speed;
            clock_.paused = false;
        }
        if (current) ImGui::PopStyleColor();
    }
    ImGui::SameLine();
    if (Button("+1 s")) clock_.stepRequest += 1.0;
    ImGui::SameLine(0, 16);
    ImGui::TextDisabled("view");
    ImGui::SameLine();
    if (Button("Fit")) view_.zoom = 1.0f;
    ImGui::SameLine();
    if (Button("1:1")) ZoomOneToOne();
    ImGui::SameLine(0, 16);
    switch (script_.state()) {
        case ScriptPlayer::State::None: ImGui::TextDisabled("no script"); break;
        case ScriptPlayer::State::Running:
            if (script_.Waiting()) {
                ImGui::Text("%s: line %llu, waiting %.1f s", script_.Name().c_str(),
                            static_cast<unsigned long long>(script_.LineNumber()), bar_.waitLabel);
            } else {
                ImGui::Text("%s: line %llu", script_.Name().c_str(),
                            static_cast<unsigned long long>(script_.LineNumber()));
            }
            break;
        case ScriptPlayer::State::Ended: ImGui::TextDisabled("%s: ended", script_.Name().c_str()); break;
        case ScriptPlayer::State::Failed:
            ImGui::TextColored(ImVec4(1, 0.4f, 0.4f, 1), "%s: stopped at line %llu", script_.Name().c_str(),
                               static_cast<unsigned long long>(script_.LineNumber()));
            break;
    }
    ImGui::SameLine(0, 24);
    const std::uint64_t escaped = host_->EscapedExceptions();
    const std::uint64_t invalid = host_->backend().InvalidHandleUses();
    const ImVec4 quiet = ImGui::GetStyleColorVec4(ImGuiCol_TextDisabled);
    const ImVec4 alarm(1.0f, 0.35f, 0.35f, 1.0f);
    ImGui::TextColored(escaped > 0 ? alarm : quiet, "escaped exceptions: %llu", static_cast<unsigned long long>(escaped));
    ImGui::SameLine();
    ImGui::TextColored(invalid > 0 ? alarm : quiet, "invalid handle uses: %llu", static_cast<unsigned long long>(invalid));

    // Second row: the game and its moves. The state takes a fixed width, so that the
    // buttons after it stay where they are when it changes.
    const GameState& game = world.Game();
    ImGui::AlignTextToFramePadding();
    const float stateX = ImGui::GetCursorPosX();
    if (game.inGame) {
        ImGui::Text("In a match: playlist %d, team %d%s", game.playlist, game.team, game.online ? "" : ", offline");
    } else {
        ImGui::Text("In the menus");
    }
    ImGui::SameLine(stateX + ImGui::CalcTextSize("In a match: playlist 13, team 1, offline").x + 16.0f);
    ImGui::SetNextItemWidth(110);
    ImGui::Combo("##playlist", &bar_.playlistChoice, [](void*, int i, const char** text) {
        *text = kPlaylists[i].name;
        return true;
    }, nullptr, static_cast<int>(std::size(kPlaylists)));
    Record("playlist");
    const int playlist = kPlaylists[bar_.playlistChoice].playlist;
    ImGui::SameLine();
    ImGui::SetNextItemWidth(70);
    ImGui::InputInt("team", &bar_.team);
    Record("team");
    // Won and Lost can carry the rating the server reports after the match, as a real one
    // does: the plug-in polls for it from the match's end.
    const auto setRating = [&] {
        if (bar_.ratingAfter > 0.0f) {
            RunLine(fmt::format("mmr {} {} after {:g}", playlist, bar_.rating, bar_.ratingAfter), true);
        } else {
            RunLine(fmt::format("mmr {} {}", playlist, bar_.rating), true);
        }
    };
    const auto report = [&] {
        if (bar_.withResult) setRating();
    };
    ImGui::SameLine();
    if (Button("Start match")) RunLine(fmt::format("match start {} team {}", playlist, bar_.team), true);
    ImGui::SameLine();
    if (Button("Won")) {
        if (RunLine("match end win", true) == Outcome::Ok) report();
    }
    ImGui::SameLine();
    if (Button("Lost")) {
        if (RunLine("match end loss", true) == Outcome::Ok) report();
    }
    ImGui::SameLine();
    if (Button("Scoreboard")) RunLine("scoreboard open", true);
    ImGui::SameLine();
    if (Button("Close it")) RunLine("scoreboard close", true);
    ImGui::SameLine();
    if (Button("Leave")) RunLine("leave", true);

    // The rating: on the same row where it fits, else on a third.
    if (BarRows(layout_.bar.w) == 2) {
        ImGui::SameLine(0, 24);
    } else {
        ImGui::AlignTextToFramePadding();
        ImGui::TextDisabled("server");
        ImGui::SameLine(stateX + ImGui::CalcTextSize("In a match: playlist 13, team 1, offline").x + 16.0f);
    }
    ImGui::SetNextItemWidth(90);
    ImGui::InputFloat("##rating", &bar_.rating, 0, 0, "%.2f");
    Record("rating");
    ImGui::SameLine();
    ImGui::SetNextItemWidth(50);
    ImGui::InputFloat("s##after", &bar_.ratingAfter, 0, 0, "%.0f");
    Record("after");
    ImGui::SameLine();
    ImGui::Checkbox("with Won/Lost", &bar_.withResult);
    Record("with Won/Lost");
    ImGui::SameLine();
    if (Button("Set rating")) setRating();
    ImGui::SameLine(0, 24);
    const bool open = host_->MenuOpen();
    if (Button(open ? "Close settings##settings" : "Settings##settings", ButtonWidth("Close settings", "Settings"))) {
        if (open) {
            host_->CloseSettingsMenu();
        } else {
            RunLine("openmenu Vantrel", true);
        }
    }
    ImGui::End();
}

void Session::DrawSide() {
    const Rect& r = layout_.side;
    if (r.Empty()) return;
    BeginPanel("Session", r, ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoCollapse);
    World& world = host_->world();
    ImGui::Text("Plug-ins loaded: %zu", host_->LoadedPlugins());
    ImGui::Text("Pending: %zu timers, %zu world changes", world.PendingEvents(World::EventKind::Timer),
                world.PendingEvents(World::EventKind::WorldChange));
    ImGui::TextDisabled("Game screen redrawn %llu times", static_cast<unsigned long long>(bar_.redrawsLabel));
    ImGui::TextDisabled("Wheel on the game screen: zoom; right button: move");
    ImGui::End();
}

void Session::DrawConsole() {
    auto& c = consolePanel_;
    const Rect& r = layout_.console;
    BeginPanel("Console", r, ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoCollapse);
    ImGui::PushFont(mono_);
    const float inputHeight = ImGui::GetFrameHeightWithSpacing();
    ImGui::BeginChild("##output", ImVec2(0, -inputHeight), false, ImGuiWindowFlags_HorizontalScrollbar);
    const auto& lines = console_.Lines();
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
    const bool resized = height != c.lastHeight;
    c.lastHeight = height;
    if (c.toEnd) {
        c.follow = true;
    } else if (!resized) {
        c.follow = ImGui::GetScrollY() >= ImGui::GetScrollMaxY() - 4.0f;
    }
    if (c.follow && (console_.Added() != c.seen || resized || c.toEnd)) ImGui::SetScrollHereY(1.0f);
    c.seen = console_.Added();
    c.toEnd = false;
    c.scrollY = ImGui::GetScrollY();
    c.scrollMax = ImGui::GetScrollMaxY();
    ImGui::EndChild();

    ImGui::SetNextItemWidth(-1);
    if (c.focus) {
        ImGui::SetKeyboardFocusHere();
        c.focus = false;
    }
    const auto history = [](ImGuiInputTextCallbackData* data) -> int {
        auto* self = static_cast<Session*>(data->UserData);
        auto& panel = self->consolePanel_;
        if (data->EventFlag != ImGuiInputTextFlags_CallbackHistory || panel.history.empty()) return 0;
        const int count = static_cast<int>(panel.history.size());
        if (data->EventKey == ImGuiKey_UpArrow) {
            panel.historyPos = panel.historyPos < 0 ? count - 1 : std::max(0, panel.historyPos - 1);
        } else if (data->EventKey == ImGuiKey_DownArrow) {
            if (panel.historyPos >= 0 && ++panel.historyPos >= count) panel.historyPos = -1;
        }
        data->DeleteChars(0, data->BufTextLen);
        if (panel.historyPos >= 0) data->InsertChars(0, panel.history[static_cast<std::size_t>(panel.historyPos)].c_str());
        return 0;
    };
    const bool entered = ImGui::InputTextWithHint(
        "##input", "command (help lists them; up and down: history)", c.input.data(), c.input.size(),
        ImGuiInputTextFlags_EnterReturnsTrue | ImGuiInputTextFlags_CallbackHistory, history, this);
    Record("console");
    c.active = ImGui::IsItemActive();
    ImGui::PopFont();
    ImGui::End();
    if (entered) {
        const std::string line(c.input.data());
        c.input.fill('\0');
        c.historyPos = -1;
        if (!line.empty() && (c.history.empty() || c.history.back() != line)) c.history.push_back(line);
        c.focus = true;
        RunLine(line, true);
    }
}

}  // namespace vhost
