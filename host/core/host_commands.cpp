// vhost::Host's command language: one handler for each kind of parsed command
// (console::Command), picked by std::visit. A command kind without a handler does not build.
#include <cstdint>
#include <optional>
#include <variant>

#include "core/host.h"
#include "core/host_internal.h"

namespace vhost {

using detail::Error;
using detail::kClockUnavailable;

// The handlers: each reads its parsed command and acts on the host.
class Host::CommandRunner {
public:
    explicit CommandRunner(Host& host) : h(host) {}

    CommandResult operator()(const console::Empty&) { return {}; }
    CommandResult operator()(const console::Help& c) {
        h.out_ << console::HelpText(c.topic);
        return {};
    }
    CommandResult operator()(const console::Echo& c) {
        h.out_ << c.text << '\n';
        return {};
    }
    CommandResult operator()(const console::Wait& c) { return h.AdvanceClock(c.seconds); }
    CommandResult operator()(const console::SetRating& c) {
        std::optional<SkillRank> rank;
        if (c.rank) rank = SkillRank{c.rank->tier, c.rank->division, 0};
        if (c.after) {
            h.world_.Schedule(*c.after, World::EventKind::WorldChange,
                              [world = &h.world_, playlist = c.playlist, rating = c.rating, rank] {
                                  world->SetRating(playlist, rating, rank);
                              });
        } else {
            h.world_.SetRating(c.playlist, c.rating, rank);
        }
        return {};
    }
    CommandResult operator()(const console::MatchStart& c) {
        h.backend_->StartMatch(c.playlist, c.team, c.offline);
        return {};
    }
    CommandResult operator()(const console::MatchEnd& c) {
        using console::MatchEndKind;
        if (!h.world_.Game().inGame) return Error("match end: no game is running (use match start first)");
        const int team = h.world_.Game().team;
        int winner = team;
        MatchEndHandles handles = MatchEndHandles::Valid;
        switch (c.kind) {
            case MatchEndKind::Win: break;
            case MatchEndKind::Loss: winner = static_cast<int>(((static_cast<std::int64_t>(team) + 1) % 2 + 2) % 2); break;
            case MatchEndKind::Winner: winner = c.winner; break;
            case MatchEndKind::NoWinner: handles = MatchEndHandles::NoWinner; break;
            case MatchEndKind::NoServer: handles = MatchEndHandles::NoServer; break;
            case MatchEndKind::NoController: handles = MatchEndHandles::NoController; break;
        }
        h.backend_->EndMatch(winner, handles);
        return {};
    }
    CommandResult operator()(const console::Scoreboard& c) {
        h.backend_->FireEvent(c.open ? kEventOpenScoreboard : kEventCloseScoreboard);
        return {};
    }
    CommandResult operator()(const console::Leave&) {
        h.backend_->Leave();
        return {};
    }
    CommandResult operator()(const console::SetVar& c) { return h.SetVariable(c.name, c.value); }
    CommandResult operator()(const console::GetVar& c) {
        ConsoleVariable* variable = h.cvars_.Find(c.name);
        if (variable == nullptr) return Error("get: no console variable '" + c.name + "'");
        h.PrintVariable(*variable);
        return {};
    }
    CommandResult operator()(const console::ConsoleStyle& c) { return h.RunConsoleStyle(c.words); }
    CommandResult operator()(const console::OpenMenu& c) { return h.OpenMenu(c.name); }
    CommandResult operator()(const console::Frame&) { return h.DrawFrameCommand(); }
    CommandResult operator()(const console::Snapshot& c) { return h.SnapshotCommand(c.file); }
    CommandResult operator()(const console::Settings& c) { return h.SettingsCommand(c.file); }
    CommandResult operator()(const console::Status&) {
        h.PrintStatus();
        return {};
    }
    CommandResult operator()(const console::Load& c) {
        const std::size_t before = h.plugins_.size();
        CommandResult result = h.Load(c.path.empty() ? h.options_.pluginPath : std::filesystem::path(c.path));
        if (result.ok() && h.plugins_.size() > before) h.out_ << "plug-in " << h.plugins_.back().className << " loaded\n";
        return result;
    }
    CommandResult operator()(const console::Unload&) {
        if (h.plugins_.empty()) return Error("unload: no plug-in is loaded");
        while (!h.plugins_.empty()) {
            const std::string name = h.plugins_.back().className;
            h.Unload(h.plugins_.back());
            h.plugins_.pop_back();
            h.out_ << "plug-in " << name << " unloaded\n";
        }
        h.CloseMenu();
        return {};
    }
    CommandResult operator()(const console::FaultThrow& c) {
        h.calls_.Arm(c.operation, c.message, c.always, static_cast<std::uint64_t>(c.skip));
        return {};
    }
    CommandResult operator()(const console::FaultClear&) {
        h.calls_.ClearFaults();
        return {};
    }
    CommandResult operator()(const console::Calls& c) {
        if (c.reset) {
            h.calls_.ResetCounts();
        } else {
            h.PrintCalls();
        }
        return {};
    }
    CommandResult operator()(const console::Cvars&) {
        h.PrintCvars();
        return {};
    }
    CommandResult operator()(const console::Quit&) { return {Outcome::Quit, {}}; }
    CommandResult operator()(const console::Clock& c) { return h.ClockCommand(c); }

private:
    Host& h;
};

CommandResult Host::Run(const console::Command& command) { return std::visit(CommandRunner(*this), command); }

// --- console variables and commands ---------------------------------------------------------

void Host::PrintVariable(const ConsoleVariable& variable) {
    out_ << variable.definition.name << " = \"" << EscapeQuoted(variable.value) << "\"\n";
}

CommandResult Host::SetVariable(const std::string& name, const std::string& value) {
    ConsoleVariable* variable = cvars_.Find(name);
    if (variable == nullptr) return Error("set: no console variable '" + name + "'");
    std::string error;
    if (!cvars_.Set(*variable, value, error)) return Error("set: " + name + ": " + error + "; value left as it was");
    return {};
}

CommandResult Host::RunConsoleStyle(const std::vector<std::string>& words) {
    const std::string& name = words.front();
    if (std::shared_ptr<const ConsoleCommand> command = cvars_.FindCommand(name)) {
        // The command gets every word, its own name first, as the game's console passes them.
        guard_.Run("command \"" + name + "\"", [&] { command->callback(words); });
        return {};
    }
    ConsoleVariable* variable = cvars_.Find(name);
    if (variable == nullptr) return Error("unknown command or console variable '" + name + "' (see help)");
    if (words.size() == 1) {
        PrintVariable(*variable);
        return {};
    }
    if (words.size() > 2) {
        return Error(name + ": a console variable takes one value (quote a value that holds blanks)");
    }
    return SetVariable(name, words[1]);
}

void Host::PrintCvars() {
    for (const ConsoleVariable* variable : cvars_.Variables()) {
        const auto& d = variable->definition;
        std::string limits;
        if (d.hasMin) limits += " min " + FormatNumber(d.min);
        if (d.hasMax) limits += " max " + FormatNumber(d.max);
        out_ << d.name << " = \"" << EscapeQuoted(variable->value) << "\"  (default \"" << EscapeQuoted(d.defaultValue) << "\""
             << limits << (d.saveToConfig ? ", saved" : "") << ") " << d.description << '\n';
    }
    for (const auto& command : cvars_.Commands()) {
        out_ << "command " << command->name << "  " << command->description << '\n';
    }
}

CommandResult Host::ClockCommand(const console::Clock& command) {
    using Kind = console::Clock::Kind;
    const std::optional<std::time_t> current = wallClock_.At(world_.Now());
    if (command.kind == Kind::Show) {
        out_ << "clock: " << FormatLocal(current ? *current : RealTime())
             << (current ? " (following the virtual clock)\n" : " (the real time)\n");
        return {};
    }
    if (!TimeIsRouted()) return Error(std::string("clock: ") + kClockUnavailable);
    std::time_t wall = 0;
    if (command.kind == Kind::At) {
        if (!ToTimeT(command.when, wall)) return Error("clock: that local time does not exist here (a daylight-saving gap?)");
    } else if (!NextTimeOfDay(current ? *current : RealTime(), command.when, command.kind == Kind::Tomorrow ? 1 : 0,
                              wall)) {
        return Error("clock: no such time of day in the next days");
    }
    wallClock_.Follow(wall, world_.Now());
    return {};
}


}  // namespace vhost
