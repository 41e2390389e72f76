#include "core/host.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <istream>
#include <stdexcept>
#include <system_error>

#include <fmt/format.h>

#include "core/host_internal.h"
#include "core/script_player.h"
#include "core/stop_request.h"

#include <pluginsdk/backend.h>


namespace vhost {

using detail::Error;
using detail::kClockUnavailable;

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

std::optional<std::string> StreamLineSource::Next(std::string_view prompt) {
    out_ << prompt << std::flush;
    std::string line;
    if (StopRequested() || !std::getline(in_, line) || StopRequested()) return std::nullopt;
    return line;
}

int Host::RunInteractive(LineSource& lines) {
    while (!StopRequested()) {
        const std::optional<std::string> line = lines.Next("vantrel> ");
        if (!line) break;
        const CommandResult result = Execute(*line);
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

int Host::RunInteractive(std::istream& in) {
    StreamLineSource lines(in, out_);
    return RunInteractive(lines);
}

}  // namespace vhost
