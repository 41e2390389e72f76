// vhost::Host: the substitute game host, usable in-process. It owns the simulated world,
// the console variables, the SDK backend and the loaded plug-ins, and runs the command
// language one line at a time. Only one Host may exist at a time in a process (the SDK has
// one backend slot).
//
//   vhost::Host host({.pluginPath = "plugins/Vantrel.so", .out = &out, .err = &err});
//   host.Start();                       // workdir, saved configuration, plug-in load
//   host.Execute("match start 11");     // one command line
//   host.RunScript(file, "script.vsh"); // a whole script, stopping at the first error
//   host.Finish();                      // unload and save the configuration
#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <pluginsdk/plugin.h>

#include "core/host_backend.h"
#include "core/calls.h"
#include "core/console.h"
#include "core/cvars.h"
#include "core/faces.h"
#include "core/guard.h"
#include "core/line_source.h"
#include "core/module.h"
#include "core/trace_canvas.h"
#include "core/wall_clock.h"
#include "core/world.h"

namespace vhost {

struct HostOptions {
    std::filesystem::path pluginPath;  // empty: DefaultPluginPath()
    std::filesystem::path workdir;     // empty: stay in the current directory
    std::filesystem::path configPath;  // empty: config.cfg in the working directory
    bool loadPlugin = true;            // false: start without a plug-in (`load` later)
    std::optional<std::time_t> clock;  // the local time the plug-in reads at start (then follows the virtual clock)
    std::ostream* out = &std::cout;    // command output
    std::ostream* err = &std::cerr;    // errors and diagnostics
    HostFaces faces;                   // the game screen's picture and the settings window, if any
};

enum class Outcome {
    Ok,
    Error,    // the command failed; a script stops with exit status 1
    Refused,  // a plug-in module was refused; a script stops with exit status 2
    Quit,     // `quit`: end the session as at the end of input
};

struct CommandResult {
    Outcome outcome = Outcome::Ok;
    std::string message;  // what went wrong, for Error and Refused
    bool ok() const { return outcome == Outcome::Ok; }
};

// How Host::SettingsFrame draws one frame of the settings window. The defaults draw it as the
// `settings` command does.
struct SettingsFrameOptions {
    // What each plug-in is handed through SetGuiContext before it draws.
    enum class Context {
        Window,     // the settings window's context, as the game does
        Null,       // 0: the plug-in's Dear ImGui is left without a context
        NotHanded,  // SetGuiContext is not called: the plug-in keeps what it had
    };
    Context context = Context::Window;
    // Run inside the frame around each plug-in's SetGuiContext and DrawSettings, with the
    // window's context current in the host's copy of Dear ImGui: the caller can read there
    // what the panel laid out (the layout cursor, the last item, Dear ImGui's text log).
    std::function<void()> beforePanel;
    std::function<void()> afterPanel;
};

// Exit statuses of a session.
inline constexpr int kExitOk = 0;
inline constexpr int kExitError = 1;
inline constexpr int kExitRefused = 2;

class Host {
public:
    explicit Host(HostOptions options);
    // Unloads what is still loaded (without saving), drops every plug-in callable, then
    // closes the modules.
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // Creates and enters the working directory (if one was given), reads the saved
    // configuration and, unless told not to, loads the plug-in.
    CommandResult Start();

    // Runs one command line.
    CommandResult Execute(std::string_view line);
    // Moves the clock `seconds` forward, as `wait` does: due timers and world changes run,
    // frames are drawn. An error for a negative or non-finite time, or from inside a
    // plug-in callback.
    CommandResult AdvanceClock(double seconds);

    // Runs commands until the end of input, `quit`, a stop request (StopRequested) or the
    // first failing line, which is reported as "NAME:LINE: error: WHAT". Returns the exit
    // status (kExitOk, kExitError, kExitRefused). Does not unload or save: that is Finish().
    int RunScript(std::istream& in, std::string_view name);
    // Reads commands at a `vantrel> ` prompt; a failing line is reported as "error: WHAT"
    // and the session goes on, until the end of input, `quit` or a stop request. The lines
    // come from `lines` (a face's line editor), or from `in` after a prompt printed on out().
    int RunInteractive(LineSource& lines);
    int RunInteractive(std::istream& in);

    // Draws one frame of the settings window with this input, one tab per plug-in with a
    // settings interface, as `settings` does but printing nothing. Driving it frame by frame
    // with the mouse clicks check boxes and drags sliders as a user would. An error when no
    // loaded plug-in has a settings tab or the build has no settings window.
    CommandResult SettingsFrame(const GuiInput& input, const SettingsFrameOptions& options = {});

    // Unloads every plug-in and writes the configuration. False (reported) if it could not
    // be written.
    bool Finish();

    // For tests and tools.
    World& world() { return world_; }
    CvarRegistry& cvars() { return cvars_; }
    CallCounter& calls() { return calls_; }
    CountingBackend& backend() { return *backend_; }
    std::uint64_t EscapedExceptions() const { return guard_.Escaped(); }
    std::size_t LoadedPlugins() const { return plugins_.size(); }
    std::ostream& out() { return out_; }
    std::ostream& err() { return err_; }
    const std::filesystem::path& ConfigPath() const { return configPath_; }

    // The settings menu, for a front end that shows it (the window): whether it is open,
    // closing it as a user closes the game's menu, and the settings window once made.
    bool MenuOpen() const { return menuOpen_; }
    void CloseSettingsMenu() { CloseMenu(); }
    SettingsView* SettingsWindowIfMade() const { return settingsWindow_.get(); }
    // Where the frames drawn while the clock moves go: called before each such frame, it
    // returns the canvas for it (counted as usual). Unset: a canvas that discards them.
    void SetFrameTarget(std::function<pluginsdk::CanvasBackend&()> target) { frameTarget_ = std::move(target); }

private:
    struct LoadedPlugin {
        pluginsdk::Handle owner = 0;
        PluginModule module;
        std::string className;
        std::shared_ptr<BakkesModPlugin> object;
        PluginSettingsWindow* settings = nullptr;  // the object's settings interface, if any
    };
    class WaitDrawer;
    class CommandRunner;  // the command language's handlers (host_commands.cpp)

    CommandResult Run(const console::Command& command);
    CommandResult Load(const std::filesystem::path& path);
    void Unload(LoadedPlugin& plugin);
    void UnloadAll();
    void RunFromPlugin(pluginsdk::Handle owner, const std::string& line);
    CommandResult RunConsoleStyle(const std::vector<std::string>& words);
    CommandResult SetVariable(const std::string& name, const std::string& value);
    void PrintVariable(const ConsoleVariable& variable);
    CommandResult OpenMenu(const std::string& name);
    CommandResult ClockCommand(const console::Clock& command);
    void CloseMenu();  // with the plug-ins gone, their menu goes too
    CommandResult DrawFrameCommand();
    CommandResult SnapshotCommand(const std::string& file);
    CommandResult SettingsCommand(const std::string& file);
    SettingsView* MakeSettingsView();  // the settings window, made on first use; null without one
    void PrintStatus();
    void PrintCalls();
    void PrintCvars();
    std::string TabName(LoadedPlugin& plugin);

    HostOptions options_;
    std::ostream& out_;
    std::ostream& err_;
    std::filesystem::path configPath_;
    bool configUnreadable_ = false;  // it exists but could not be read: never overwrite it
    bool configMissing_ = true;      // there was no file at start

    // Declared first so that it is destroyed last: modules stay mapped until everything
    // that came from them is gone.
    ModuleCache modules_;
    CallCounter calls_;
    CallbackGuard guard_;
    World world_;
    WallClock wallClock_;
    CvarRegistry cvars_;
    std::unique_ptr<CountingBackend> backend_;
    std::vector<LoadedPlugin> plugins_;
    pluginsdk::Handle nextOwner_ = 1;
    int nestedCommands_ = 0;

    DiscardCanvas discardCanvas_;
    std::function<pluginsdk::CanvasBackend&()> frameTarget_;
    std::uint64_t requestedFrames_ = 0;
    bool menuOpen_ = false;
    std::string menuTab_;
    std::unique_ptr<SettingsView> settingsWindow_;  // made on first use, when the program gave one
    std::vector<std::string> settingsTabs_;           // the tabs of the last settings frame
};

}  // namespace vhost
