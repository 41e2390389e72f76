#include "host.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <istream>
#include <stdexcept>
#include <system_error>
#include <type_traits>

#include <fmt/format.h>

#include "host_internal.h"
#include "script_player.h"
#include "stop_request.h"

#include <pluginsdk/backend.h>


namespace vhost {

using detail::Error;

namespace {

std::atomic<bool> hostExists{false};

// Commands that move the world or change what is loaded: not allowed while plug-in code is
// running (a plug-in reaches the console through executeCommand).
bool DrivesTheWorld(const console::Command& command) {
    return std::holds_alternative<console::Wait>(command) || std::holds_alternative<console::MatchStart>(command) ||
           std::holds_alternative<console::MatchEnd>(command) || std::holds_alternative<console::Scoreboard>(command) ||
           std::holds_alternative<console::Leave>(command) || std::holds_alternative<console::Load>(command) ||
           std::holds_alternative<console::Unload>(command) || std::holds_alternative<console::Frame>(command) ||
           std::holds_alternative<console::Snapshot>(command) || std::holds_alternative<console::Settings>(command) ||
           std::holds_alternative<console::Quit>(command);
}





constexpr int kMaxNestedCommands = 8;

constexpr const char* kClockUnavailable =
#if defined(_WIN32)
    "the clock cannot be set on Windows: the plug-in reads the system clock itself";
#else
    "the clock cannot be set in this program: only vantrel-host routes the plug-in's time()";
#endif

}  // namespace

// Draws the frames of a wait through the plug-ins' drawables onto the discarding canvas.
class Host::WaitDrawer final : public FrameDrawer {
public:
    explicit WaitDrawer(Host& host) : host_(host), counting_(host.discardCanvas_, host.calls_) {}
    bool WantsFrames() override { return host_.backend_->HasDrawables(); }
    void DrawFrame() override {
        if (host_.frameTarget_) {
            CountingCanvas counting(host_.frameTarget_(), host_.calls_);
            host_.backend_->DrawFrame(counting);
            return;
        }
        host_.discardCanvas_.Reset();
        host_.backend_->DrawFrame(counting_);
    }

private:
    Host& host_;
    CountingCanvas counting_;
};

Host::Host(HostOptions options)
    : options_(std::move(options)),
      out_(options_.out != nullptr ? *options_.out : std::cout),
      err_(options_.err != nullptr ? *options_.err : std::cerr),
      guard_(out_, err_) {
    if (hostExists.exchange(true)) throw std::logic_error("vantrel-host: only one Host may exist at a time");
    backend_ = std::make_unique<CountingBackend>(world_, cvars_, calls_, guard_, err_);
    backend_->SetCommandRunner(
        [this](pluginsdk::Handle owner, const std::string& line) { RunFromPlugin(owner, line); });
    pluginsdk::SetBackend(backend_.get());
    SetCurrentWallClock(&wallClock_, &world_);
}

Host::~Host() {
    try {
        UnloadAll();
    } catch (...) {
    }
    // Everything that may hold plug-in code or objects goes before the modules close.
    world_.ClearEvents();
    backend_->DropAllCallbacks();
    cvars_.DropBindings();
    settingsWindow_.reset();
    pluginsdk::SetBackend(nullptr);
    SetCurrentWallClock(nullptr, nullptr);
    backend_.reset();
    modules_.CloseAll();
    hostExists = false;
}

CommandResult Host::Start() {
    std::error_code ec;
    // Paths from the command line are taken relative to where the host was started.
    if (options_.pluginPath.empty()) options_.pluginPath = DefaultPluginPath();
    options_.pluginPath = std::filesystem::absolute(options_.pluginPath, ec);
    if (!options_.configPath.empty()) configPath_ = std::filesystem::absolute(options_.configPath, ec);

    if (!options_.workdir.empty()) {
        std::filesystem::create_directories(options_.workdir, ec);
        if (ec) return Error("cannot create the working directory " + options_.workdir.string() + ": " + ec.message());
        std::filesystem::current_path(options_.workdir, ec);
        if (ec) return Error("cannot enter the working directory " + options_.workdir.string() + ": " + ec.message());
    }
    if (configPath_.empty()) configPath_ = std::filesystem::current_path(ec) / "config.cfg";

    ConfigContents config = ReadConfig(configPath_);
    for (const std::string& problem : config.problems) {
        err_ << "vantrel-host: " << configPath_.string() << ":" << problem << " (line skipped)\n";
    }
    if (!config.error.empty()) {
        // Writing it at exit would replace settings that were never read: leave it alone.
        configUnreadable_ = true;
        err_ << "vantrel-host: cannot read the configuration " << configPath_.string() << ": " << config.error
             << " (it will not be overwritten)\n";
    }
    configMissing_ = config.missing;
    cvars_.SetSavedValues(std::move(config.values));

    if (options_.clock) {
        if (!TimeIsRouted()) return Error(kClockUnavailable);
        wallClock_.Follow(*options_.clock, world_.Now());
    }
    if (options_.loadPlugin) return Load(options_.pluginPath);
    return {};
}

// --- plug-in lifecycle -------------------------------------------------------------------

CommandResult Host::Load(const std::filesystem::path& path) {
    PluginModule module;
    std::string error;
    if (!modules_.OpenPlugin(path, module, error)) return {Outcome::Refused, error};
    for (const LoadedPlugin& loaded : plugins_) {
        if (loaded.module.path == module.path) {
            return Error("load: " + path.string() + " is already loaded (unload it first)");
        }
    }

    LoadedPlugin plugin;
    plugin.owner = nextOwner_++;
    plugin.module = module;
    plugin.className = module.info->className;
    const auto refuse = [&](const std::string& what) {
        return CommandResult{Outcome::Refused, "cannot load plug-in " + path.string() + ": " + what};
    };

    std::uintptr_t address = 0;
    if (!guard_.Run("getPlugin", [&] { address = module.info->getPlugin(); })) {
        return refuse("getPlugin failed");
    }
    if (address == 0) return refuse("getPlugin returned no address");
    // getPlugin answers the address of the module's shared owner of the plug-in object,
    // whose primary base BakkesModPlugin sits at offset 0; the host keeps its own share.
    plugin.object = *reinterpret_cast<const std::shared_ptr<BakkesModPlugin>*>(address);
    if (!plugin.object) {
        guard_.Run("deleteMe", [&] { module.info->deleteMe(); });
        return refuse("getPlugin returned no plug-in object");
    }
    plugin.settings = dynamic_cast<PluginSettingsWindow*>(plugin.object.get());
    plugin.object->cvarManager = std::make_shared<CVarManagerWrapper>(plugin.owner);
    plugin.object->gameWrapper = std::make_shared<GameWrapper>(plugin.owner);
    backend_->AddOwner(plugin.owner);

    plugins_.push_back(std::move(plugin));
    BakkesModPlugin* object = plugins_.back().object.get();
    guard_.Run("onLoad", [&] { object->onLoad(); });
    return {};
}

void Host::Unload(LoadedPlugin& plugin) {
    guard_.Run("onUnload", [&] { plugin.object->onUnload(); });
    // Hooks, drawables and commands go; timers stay pending, as in the game.
    backend_->RetireOwner(plugin.owner);
    guard_.Run("deleteMe", [&] { plugin.module.info->deleteMe(); });
    plugin.settings = nullptr;
    plugin.object.reset();
    cvars_.PruneBindings();
}

void Host::UnloadAll() {
    while (!plugins_.empty()) {
        Unload(plugins_.back());
        plugins_.pop_back();
    }
    CloseMenu();
}

void Host::CloseMenu() {
    menuOpen_ = false;
    if (settingsWindow_) settingsWindow_->Close();
}

SettingsView* Host::MakeSettingsView() {
    if (!settingsWindow_ && options_.faces.makeSettings) settingsWindow_ = options_.faces.makeSettings();
    return settingsWindow_.get();
}

bool Host::Finish() {
    UnloadAll();
    std::string error;
    if (configUnreadable_) {
        out_.flush();
        err_ << "vantrel-host: the configuration " << configPath_.string()
             << " was not saved: it could not be read at start\n";
        return false;
    }
    const std::map<std::string, std::string> values = cvars_.ValuesToSave();
    if (values.empty() && configMissing_) return true;  // nothing to keep: leave no empty file behind
    if (!WriteConfig(configPath_, values, error)) {
        out_.flush();
        err_ << "vantrel-host: cannot save the configuration: " << error << '\n';
        return false;
    }
    return true;
}

// --- running commands ----------------------------------------------------------------------

CommandResult Host::Execute(std::string_view line) {
    console::ParseResult parsed = console::Parse(line);
    if (!parsed.ok()) return Error(parsed.error);
    if (guard_.Depth() > 0 && DrivesTheWorld(parsed.command)) {
        const auto space = line.find_first_not_of(" \t");
        std::string_view name = space == std::string_view::npos ? line : line.substr(space);
        name = name.substr(0, name.find_first_of(" \t"));
        return Error(std::string(name) + ": cannot run from inside a plug-in callback");
    }
    CommandResult result = Run(parsed.command);
    out_.flush();
    return result;
}

CommandResult Host::AdvanceClock(double seconds) {
    if (!(seconds >= 0.0) || !std::isfinite(seconds)) return Error("wait: the time must be a finite number of seconds, 0 or more");
    if (guard_.Depth() > 0) return Error("wait: cannot run from inside a plug-in callback");
    WaitDrawer drawer(*this);
    world_.Advance(seconds, drawer);
    out_.flush();
    return {};
}

void Host::RunFromPlugin(pluginsdk::Handle owner, const std::string& line) {
    CommandResult result;
    if (nestedCommands_ >= kMaxNestedCommands) {
        result = Error("commands nested too deeply");
    } else {
        ++nestedCommands_;
        try {
            result = Execute(line);
        } catch (...) {
            --nestedCommands_;
            throw;
        }
        --nestedCommands_;
    }
    if (!result.ok()) {
        out_.flush();
        err_ << "vantrel-host: executeCommand \"" << line << "\" (owner " << owner << "): error: " << result.message
             << '\n';
        err_.flush();
    }
}

int Host::RunScript(std::istream& in, std::string_view name) {
    ScriptPlayer player;
    player.Start(*this, &in, std::string(name));
    player.Play(ScriptPlayer::kAllTheTime);
    return player.ExitStatus();
}

int Host::RunInteractive(std::istream& in) {
    std::string line;
    // A stop request interrupts the read (the handler does not restart it): the line is
    // not read and the session ends as at the end of input.
    while (!StopRequested()) {
        out_ << "vantrel> " << std::flush;
        if (!std::getline(in, line) || StopRequested()) break;
        const CommandResult result = Execute(line);
        if (result.outcome == Outcome::Quit) return kExitOk;
        if (!result.ok()) {
            out_.flush();
            err_ << "error: " << result.message << '\n';
            err_.flush();
        }
    }
    out_ << '\n';
    return kExitOk;
}

CommandResult Host::Run(const console::Command& command) {
    using namespace console;
    return std::visit(
        [&](const auto& c) -> CommandResult {
            using T = std::decay_t<decltype(c)>;
            if constexpr (std::is_same_v<T, Empty>) {
                return {};
            } else if constexpr (std::is_same_v<T, Help>) {
                out_ << HelpText(c.topic);
                return {};
            } else if constexpr (std::is_same_v<T, Echo>) {
                out_ << c.text << '\n';
                return {};
            } else if constexpr (std::is_same_v<T, Wait>) {
                return AdvanceClock(c.seconds);
            } else if constexpr (std::is_same_v<T, SetRating>) {
                std::optional<SkillRank> rank;
                if (c.rank) rank = SkillRank{c.rank->tier, c.rank->division, 0};
                if (c.after) {
                    world_.Schedule(*c.after, World::EventKind::WorldChange,
                                    [this, playlist = c.playlist, rating = c.rating, rank] {
                                        world_.SetRating(playlist, rating, rank);
                                    });
                } else {
                    world_.SetRating(c.playlist, c.rating, rank);
                }
                return {};
            } else if constexpr (std::is_same_v<T, MatchStart>) {
                backend_->StartMatch(c.playlist, c.team, c.offline);
                return {};
            } else if constexpr (std::is_same_v<T, MatchEnd>) {
                if (!world_.Game().inGame) return Error("match end: no game is running (use match start first)");
                const int team = world_.Game().team;
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
                backend_->EndMatch(winner, handles);
                return {};
            } else if constexpr (std::is_same_v<T, Scoreboard>) {
                backend_->FireEvent(c.open ? kEventOpenScoreboard : kEventCloseScoreboard);
                return {};
            } else if constexpr (std::is_same_v<T, Leave>) {
                backend_->Leave();
                return {};
            } else if constexpr (std::is_same_v<T, SetVar>) {
                return SetVariable(c.name, c.value);
            } else if constexpr (std::is_same_v<T, GetVar>) {
                ConsoleVariable* variable = cvars_.Find(c.name);
                if (variable == nullptr) return Error("get: no console variable '" + c.name + "'");
                PrintVariable(*variable);
                return {};
            } else if constexpr (std::is_same_v<T, ConsoleStyle>) {
                return RunConsoleStyle(c.words);
            } else if constexpr (std::is_same_v<T, console::OpenMenu>) {
                return OpenMenu(c.name);
            } else if constexpr (std::is_same_v<T, Frame>) {
                return DrawFrameCommand();
            } else if constexpr (std::is_same_v<T, Snapshot>) {
                return SnapshotCommand(c.file);
            } else if constexpr (std::is_same_v<T, Settings>) {
                return SettingsCommand(c.file);
            } else if constexpr (std::is_same_v<T, Status>) {
                PrintStatus();
                return {};
            } else if constexpr (std::is_same_v<T, console::Load>) {
                const std::size_t before = plugins_.size();
                CommandResult result = Load(c.path.empty() ? options_.pluginPath : std::filesystem::path(c.path));
                if (result.ok() && plugins_.size() > before) {
                    out_ << "plug-in " << plugins_.back().className << " loaded\n";
                }
                return result;
            } else if constexpr (std::is_same_v<T, console::Unload>) {
                if (plugins_.empty()) return Error("unload: no plug-in is loaded");
                while (!plugins_.empty()) {
                    const std::string name = plugins_.back().className;
                    Unload(plugins_.back());
                    plugins_.pop_back();
                    out_ << "plug-in " << name << " unloaded\n";
                }
                CloseMenu();
                return {};
            } else if constexpr (std::is_same_v<T, FaultThrow>) {
                calls_.Arm(c.operation, c.message, c.always, static_cast<std::uint64_t>(c.skip));
                return {};
            } else if constexpr (std::is_same_v<T, FaultClear>) {
                calls_.ClearFaults();
                return {};
            } else if constexpr (std::is_same_v<T, Calls>) {
                if (c.reset) {
                    calls_.ResetCounts();
                } else {
                    PrintCalls();
                }
                return {};
            } else if constexpr (std::is_same_v<T, Cvars>) {
                PrintCvars();
                return {};
            } else if constexpr (std::is_same_v<T, Quit>) {
                return {Outcome::Quit, {}};
            } else if constexpr (std::is_same_v<T, console::Clock>) {
                return ClockCommand(c);
            } else {
                static_assert(!sizeof(T), "every command needs a handler");
            }
        },
        command);
}

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
