// vhost::Host's views of the session: the `frame` trace, the pictures (through the faces the
// program handed in), the settings window and menu, and the `status` and `calls` reports.
#include <algorithm>
#include <cmath>

#include "core/host.h"
#include "core/host_internal.h"

namespace vhost {

using detail::Error;
using detail::SameIgnoringCase;
using detail::Seconds;

// --- drawing and the settings window ------------------------------------------------------

CommandResult Host::DrawFrameCommand() {
    TraceCanvas trace;
    CountingCanvas counting(trace, calls_);
    ++requestedFrames_;
    backend_->DrawFrame(counting);
    if (trace.Lines().empty()) {
        out_ << "(nothing drawn)\n";
    } else {
        for (const std::string& line : trace.Lines()) out_ << line << '\n';
    }
    return {};
}

CommandResult Host::SnapshotCommand(const std::string& file) {
    if (!options_.faces.writeScreen) {
        return Error("snapshot: this build of vantrel-host has no snapshot support (built without the Cairo canvas)");
    }
    ++requestedFrames_;
    std::string error;
    const bool written = options_.faces.writeScreen(1920, 1080, [this](pluginsdk::CanvasBackend& screen) {
        CountingCanvas counting(screen, calls_);
        backend_->DrawFrame(counting);
    }, file, error);
    if (!written) return Error("snapshot: cannot write " + file + ": " + error);
    out_ << "snapshot written to " << file << '\n';
    return {};
}

std::string Host::TabName(LoadedPlugin& plugin) {
    std::string name;
    if (plugin.settings == nullptr || !guard_.Run("SettingsTabName", [&] { name = plugin.settings->SettingsTabName(); }) ||
        name.empty()) {
        name = plugin.className;
    }
    return name;
}

CommandResult Host::OpenMenu(const std::string& name) {
    LoadedPlugin* target = nullptr;
    std::string tab;
    for (LoadedPlugin& plugin : plugins_) {
        const std::string tabName = TabName(plugin);
        if (SameIgnoringCase(name, plugin.className) || SameIgnoringCase(name, tabName)) {
            target = &plugin;
            tab = tabName;
            break;
        }
    }
    if (target == nullptr) return Error("openmenu: no loaded plug-in is called '" + name + "'");
    menuOpen_ = true;
    menuTab_ = tab;
    SettingsView* window = MakeSettingsView();
    if (window != nullptr) window->Open(tab);
    out_ << "menu \"" << name << "\" opened\n";
    if (window == nullptr) {
        out_.flush();
        err_ << "vantrel-host: note: this build has no settings window; the open menu is only recorded\n";
    }
    return {};
}

CommandResult Host::SettingsFrame(const GuiInput& input, const SettingsFrameOptions& options) {
    SettingsView* made = MakeSettingsView();
    if (made == nullptr) {
        return Error("settings: this build of vantrel-host has no settings window (built without Dear ImGui and OSMesa)");
    }
    SettingsView& window = *made;
    std::vector<SettingsTab> tabs;
    for (LoadedPlugin& plugin : plugins_) {
        if (plugin.settings == nullptr) continue;
        PluginSettingsWindow* settings = plugin.settings;
        tabs.push_back({TabName(plugin), [this, settings, &window, &options] {
                            if (options.beforePanel) options.beforePanel();
                            using Context = SettingsFrameOptions::Context;
                            if (options.context != Context::NotHanded) {
                                const std::uintptr_t context =
                                    options.context == Context::Window ? window.Context() : 0;
                                guard_.Run("SetGuiContext", [&] { settings->SetGuiContext(context); });
                            }
                            guard_.Run("DrawSettings", [&] { settings->DrawSettings(); });
                            if (options.afterPanel) options.afterPanel();
                        }});
    }
    settingsTabs_.clear();
    for (const SettingsTab& tab : tabs) settingsTabs_.push_back(tab.name);
    if (tabs.empty()) return Error("settings: no loaded plug-in has a settings tab");
    const bool known = std::any_of(tabs.begin(), tabs.end(),
                                   [&](const SettingsTab& tab) { return tab.name == window.SelectedTab(); });
    if (!window.IsOpen() || !known) window.Open(tabs.front().name);
    menuOpen_ = true;
    menuTab_ = window.SelectedTab();
    // The tabs' draws are guarded one by one; the window itself reports a draw that left
    // Dear ImGui scopes open, which is the plug-in's fault too.
    guard_.Run("settings window", [&] { window.Frame(tabs, input); });
    return {};
}

CommandResult Host::SettingsCommand(const std::string& file) {
    const CommandResult drawn = SettingsFrame(GuiInput{});
    if (!drawn.ok()) return drawn;
    SettingsView& window = *settingsWindow_;
    out_ << "settings window: open, tab \"" << window.SelectedTab() << "\"; tabs:";
    for (const std::string& tab : settingsTabs_) out_ << " \"" << tab << "\"";
    out_ << '\n';
    if (!file.empty()) {
        std::string error;
        if (!window.WritePng(file, error)) return Error("settings: cannot write " + file + ": " + error);
        out_ << "settings written to " << file << '\n';
    }
    return {};
}

// --- reports ------------------------------------------------------------------------------

void Host::PrintStatus() {
    const GameState& game = world_.Game();
    out_ << "clock: " << Seconds(world_.Now()) << '\n';
    if (game.inGame) {
        out_ << "game: in a game, " << (game.online ? "online" : "offline") << ", playlist " << game.playlist
             << ", team " << game.team << '\n';
    } else {
        out_ << "game: menus\n";
    }
    const std::size_t timers = world_.PendingEvents(World::EventKind::Timer);
    const std::size_t changes = world_.PendingEvents(World::EventKind::WorldChange);
    out_ << "pending: " << timers << (timers == 1 ? " timer" : " timers") << ", " << changes
         << (changes == 1 ? " world change" : " world changes");
    if (const std::optional<double> next = world_.NextDue()) {
        out_ << " (next due " << (std::isinf(*next) ? std::string("never") : "at " + Seconds(*next)) << ")";
    }
    out_ << '\n';
    out_ << "frames drawn: " << world_.FramesDrawn() << " while waiting, " << requestedFrames_ << " on request\n";
    if (plugins_.empty()) {
        out_ << "plug-in: none loaded\n";
    } else {
        for (const LoadedPlugin& plugin : plugins_) {
            out_ << "plug-in: " << plugin.className << " (" << plugin.module.info->displayName << " "
                 << plugin.module.info->version << ") loaded from " << plugin.module.path.string() << "; "
                 << backend_->HookCount(plugin.owner) << " hooks, " << backend_->DrawableCount(plugin.owner)
                 << " drawables\n";
        }
    }
    out_ << "console: " << cvars_.Variables().size() << " variables, " << cvars_.Commands().size() << " commands\n";
    out_ << "menu: " << (menuOpen_ ? "open on tab \"" + menuTab_ + "\"" : std::string("closed")) << '\n';
    out_ << "escaped exceptions: " << guard_.Escaped() << '\n';
    out_ << "invalid handle uses: " << backend_->InvalidHandleUses() << '\n';
}

void Host::PrintCalls() {
    std::vector<std::pair<std::string_view, std::uint64_t>> rows;
    for (std::size_t i = 0; i < kOpCount; ++i) {
        const Op op = static_cast<Op>(i);
        rows.emplace_back(OpName(op), calls_.Count(op));
    }
    std::sort(rows.begin(), rows.end());
    for (const auto& [name, count] : rows) out_ << name << ' ' << count << '\n';
}

}  // namespace vhost
