#include "window/control_bar.h"

#include <imgui.h>

#include <algorithm>
#include <iterator>

#include <fmt/format.h>

namespace vhost {
namespace {

using SteadyClock = std::chrono::steady_clock;

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

bool Button(WidgetPlaces& widgets, const char* label, float width = 0.0f) {
    const bool pressed = ImGui::Button(label, ImVec2(width, 0));
    widgets.RecordLast(Visible(label));
    return pressed;
}

// `text` shortened with "..." to `width` pixels at most.
std::string Fitted(std::string text, float width) {
    if (ImGui::CalcTextSize(text.c_str()).x <= width) return text;
    while (!text.empty() && ImGui::CalcTextSize((text + "...").c_str()).x > width) text.pop_back();
    return text.empty() ? text : text + "...";
}

// The script's state, as the bar shows it.
std::string ScriptState(const ScriptPlayer& script, double waitLabel) {
    const auto line = static_cast<unsigned long long>(script.LineNumber());
    switch (script.state()) {
        case ScriptPlayer::State::None: return "no script";
        case ScriptPlayer::State::Running:
            return script.Waiting() ? fmt::format("{}: line {}, waiting {:.1f} s", script.Name(), line, waitLabel)
                                    : fmt::format("{}: line {}", script.Name(), line);
        case ScriptPlayer::State::Ended: return script.Name() + ": ended";
        case ScriptPlayer::State::Failed: return fmt::format("{}: stopped at line {}", script.Name(), line);
    }
    return {};
}

constexpr const char* kWidestState = "In a match: playlist 13, team 1, offline";

}  // namespace

void ControlBar::Draw(const Rect& area, Context& c) {
    BeginPanel("##bar", area, ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoScrollWithMouse);
    // Running labels (the clock, a script's wait, the redraw count) change at a reading
    // pace, ten times a second of real time: each change costs a drawn frame. A paused
    // clock shows its value at once (a step is seen as it is made).
    if (c.clock.paused || SteadyClock::now() >= labelsDue_) {
        labelsDue_ = SteadyClock::now() + std::chrono::milliseconds(100);
        clockLabel_ = c.host.world().Now();
        waitLabel_ = c.script.WaitLeft();
        redrawsLabel_ = c.screenRedraws;
    }
    DrawClockRow(area, c);
    DrawGameRow(c);
    DrawServerRow(area, c);
    ImGui::End();
}

// The clock, the view of the game screen, the script (and, on two rows, the counts).
void ControlBar::DrawClockRow(const Rect& area, Context& c) {
    ImGui::AlignTextToFramePadding();
    // The clock's digits take a fixed width: the buttons after it keep their places.
    const float clockX = ImGui::GetCursorPosX();
    ImGui::Text("Clock %.1f s", clockLabel_);
    ImGui::SameLine(clockX + ImGui::CalcTextSize("Clock 0000000.0 s").x);
    if (Button(c.widgets, c.clock.paused ? "Run##pause" : "Pause##pause", ButtonWidth("Run", "Pause"))) {
        c.clock.paused = !c.clock.paused;
    }
    for (const double speed : kSpeeds) {
        ImGui::SameLine();
        // The chosen speed stays marked while paused: it is the speed Run goes back to.
        const bool current = c.clock.speed == speed;
        if (current) ImGui::PushStyleColor(ImGuiCol_Button, ImGui::GetStyleColorVec4(ImGuiCol_ButtonActive));
        const std::string label = fmt::format("{:g}x", speed);
        if (Button(c.widgets, label.c_str())) {
            c.clock.speed = speed;
            c.clock.paused = false;
        }
        if (current) ImGui::PopStyleColor();
    }
    ImGui::SameLine();
    if (Button(c.widgets, "+1 s")) c.clock.stepRequest += 1.0;
    ImGui::SameLine(0, 16);
    ImGui::TextDisabled("view");
    ImGui::SameLine();
    if (Button(c.widgets, "Fit")) c.fit();
    ImGui::SameLine();
    if (Button(c.widgets, "1:1")) c.oneToOne();
    ImGui::SameLine(0, 16);

    // The script's state takes what is left of the row (less the counts, on two rows).
    const bool countsHere = Rows(area.w) == 2;
    const float countsWidth =
        countsHere ? 24.0f + ImGui::CalcTextSize("escaped exceptions: 000  invalid handle uses: 000").x : 0.0f;
    const float room = std::max(0.0f, area.Right() - ImGui::GetCursorScreenPos().x - ImGui::GetStyle().WindowPadding.x -
                                          countsWidth);
    const std::string state = Fitted(ScriptState(c.script, waitLabel_), room);
    if (c.script.state() == ScriptPlayer::State::Failed) {
        ImGui::TextColored(ImVec4(1, 0.4f, 0.4f, 1), "%s", state.c_str());
    } else if (c.script.state() == ScriptPlayer::State::Running) {
        ImGui::TextUnformatted(state.c_str());
    } else {
        ImGui::TextDisabled("%s", state.c_str());
    }
    c.widgets.RecordLast("script");
    if (countsHere) {
        ImGui::SameLine(0, 24);
        DrawCounts(c);
    }
}

// What went wrong inside the plug-in: exceptions that escaped it, handles used after they died.
void ControlBar::DrawCounts(Context& c) {
    const std::uint64_t escaped = c.host.EscapedExceptions();
    const std::uint64_t invalid = c.host.backend().InvalidHandleUses();
    const ImVec4 quiet = ImGui::GetStyleColorVec4(ImGuiCol_TextDisabled);
    const ImVec4 alarm(1.0f, 0.35f, 0.35f, 1.0f);
    ImGui::TextColored(escaped > 0 ? alarm : quiet, "escaped exceptions: %llu", static_cast<unsigned long long>(escaped));
    c.widgets.RecordLast("escaped exceptions");
    ImGui::SameLine();
    ImGui::TextColored(invalid > 0 ? alarm : quiet, "invalid handle uses: %llu", static_cast<unsigned long long>(invalid));
    c.widgets.RecordLast("invalid handle uses");
}

// The game and its moves. The state takes a fixed width, so that the buttons after it stay
// where they are when it changes.
void ControlBar::DrawGameRow(Context& c) {
    const GameState& game = c.host.world().Game();
    ImGui::AlignTextToFramePadding();
    const float stateX = ImGui::GetCursorPosX();
    if (game.inGame) {
        ImGui::Text("In a match: playlist %d, team %d%s", game.playlist, game.team, game.online ? "" : ", offline");
    } else {
        ImGui::Text("In the menus");
    }
    ImGui::SameLine(stateX + ImGui::CalcTextSize(kWidestState).x + 16.0f);
    ImGui::SetNextItemWidth(110);
    ImGui::Combo("##playlist", &playlistChoice_, [](void*, int i, const char** text) {
        *text = kPlaylists[i].name;
        return true;
    }, nullptr, static_cast<int>(std::size(kPlaylists)));
    c.widgets.RecordLast("playlist");
    const int playlist = kPlaylists[playlistChoice_].playlist;
    ImGui::SameLine();
    ImGui::SetNextItemWidth(70);
    ImGui::InputInt("team", &team_);
    c.widgets.RecordLast("team");
    ImGui::SameLine();
    if (Button(c.widgets, "Start match")) c.run(fmt::format("match start {} team {}", playlist, team_));
    // Won and Lost can carry the rating the server reports after the match, as a real one
    // does: the plug-in polls for it from the match's end.
    ImGui::SameLine();
    if (Button(c.widgets, "Won") && c.run("match end win") == Outcome::Ok && withResult_) SetRating(c, playlist);
    ImGui::SameLine();
    if (Button(c.widgets, "Lost") && c.run("match end loss") == Outcome::Ok && withResult_) SetRating(c, playlist);
    ImGui::SameLine();
    if (Button(c.widgets, "Scoreboard")) c.run("scoreboard open");
    ImGui::SameLine();
    if (Button(c.widgets, "Close it")) c.run("scoreboard close");
    ImGui::SameLine();
    if (Button(c.widgets, "Leave")) c.run("leave");
}

// The rating the server reports, and the settings window: on the game's row where they fit,
// else on a row of their own with the counts.
void ControlBar::DrawServerRow(const Rect& area, Context& c) {
    const bool ownRow = Rows(area.w) == 3;
    if (ownRow) {
        ImGui::AlignTextToFramePadding();
        ImGui::TextDisabled("server");
        ImGui::SameLine();
    } else {
        ImGui::SameLine(0, 24);
    }
    ImGui::SetNextItemWidth(90);
    ImGui::InputFloat("##rating", &rating_, 0, 0, "%.2f");
    c.widgets.RecordLast("rating");
    ImGui::SameLine();
    ImGui::SetNextItemWidth(50);
    ImGui::InputFloat("s##after", &ratingAfter_, 0, 0, "%.0f");
    c.widgets.RecordLast("after");
    ImGui::SameLine();
    ImGui::Checkbox("with Won/Lost", &withResult_);
    c.widgets.RecordLast("with Won/Lost");
    ImGui::SameLine();
    if (Button(c.widgets, "Set rating")) SetRating(c, kPlaylists[playlistChoice_].playlist);
    ImGui::SameLine(0, 24);
    const bool open = c.host.MenuOpen();
    if (Button(c.widgets, open ? "Close settings##settings" : "Settings##settings",
               ButtonWidth("Close settings", "Settings"))) {
        if (open) {
            c.host.CloseSettingsMenu();
        } else {
            c.run("openmenu Vantrel");
        }
    }
    if (ownRow) {
        ImGui::SameLine(0, 24);
        DrawCounts(c);
    }
}

void ControlBar::SetRating(Context& c, int playlist) {
    if (ratingAfter_ > 0.0f) {
        c.run(fmt::format("mmr {} {} after {:g}", playlist, rating_, ratingAfter_));
    } else {
        c.run(fmt::format("mmr {} {}", playlist, rating_));
    }
}

void ControlBar::DrawSessionPanel(const Rect& area, Host& host) const {
    if (area.Empty()) return;
    BeginPanel("Session", area, ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoCollapse);
    World& world = host.world();
    ImGui::Text("Plug-ins loaded: %zu", host.LoadedPlugins());
    ImGui::Text("Pending: %zu timers, %zu world changes", world.PendingEvents(World::EventKind::Timer),
                world.PendingEvents(World::EventKind::WorldChange));
    ImGui::TextDisabled("Game screen redrawn %llu times", static_cast<unsigned long long>(redrawsLabel_));
    ImGui::TextDisabled("Wheel on the game screen: zoom; right button: move");
    ImGui::End();
}

}  // namespace vhost
