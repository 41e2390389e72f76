// The vantrel-host program: its command line, and the session it starts (a script, the
// terminal's prompt or the window) with the faces this build has.
#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "app/program.h"
#include "core/host.h"
#include "core/module.h"
#include "core/stop_request.h"
#if defined(VHOST_HAVE_FACES)
#include "app/standard_faces.h"
#endif
#if defined(VHOST_HAVE_PROMPT)
#include "prompt/edited_prompt.h"
#endif
#if defined(VHOST_HAVE_WINDOW)
#include "window/window_driver.h"
#include "window/window_session.h"
#endif

#ifndef VANTREL_VERSION
#define VANTREL_VERSION "unknown"
#endif

#if defined(__SANITIZE_ADDRESS__)
// In sanitizer builds: Fontconfig (under the snapshot canvas) and Mesa (under the settings
// window) keep allocations for the life of the process that LeakSanitizer would report as
// leaks and turn into a failing exit status. They do not grow; they are not ours.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n"
           "leak:libOSMesa.so\n";
}
extern "C" const char* __lsan_default_options() { return "print_suppressions=0"; }
#endif

namespace {

constexpr std::string_view kUsageText =
    "usage: vantrel-host [--plugin PATH] [--workdir DIR] [--config FILE] [--no-load]\n"
    "                    [--clock WHEN] [--window [--speed N]] [SCRIPT | -]\n"
    "\n"
    "Loads the plug-in and plays a simulated game driven by console commands, read from\n"
    "SCRIPT or, with '-' or no SCRIPT, from standard input (with a prompt on a terminal).\n"
    "\n"
    "  --plugin PATH   the plug-in module (default: plugins/Vantrel{SUFFIX} next to this program)\n"
    "  --workdir DIR   working directory, created if missing; the plug-in's log lands there\n"
    "  --config FILE   saved console variables (default: config.cfg in the working directory)\n"
    "  --no-load       start without loading the plug-in (use 'load' later)\n"
    "  --clock WHEN    the local time the plug-in reads at start, YYYY-MM-DDTHH:MM[:SS]; it then\n"
    "                  follows the virtual clock ('help clock'; not on Windows)\n"
    "  --window        play the session in a window: game screen, settings, console, clock\n"
    "  --speed N       the window's first clock speed (1: real time; default 1)\n"
    "  --help          this text; 'help' inside the host lists the commands\n"
    "  --version       the host's version\n"
    "\n"
    "Ctrl-C (SIGINT) and SIGTERM end the session as 'quit' does: the plug-in is unloaded and\n"
    "the console variables are saved.\n"
    "\n"
    "Exit status: 0 at the end of input; 1 for a failing script line or a usage error;\n"
    "2 when a plug-in module is refused; 128 plus the signal's number after Ctrl-C (130) or\n"
    "SIGTERM (143).\n";

// The usage text, naming this platform's module file.
std::string Usage() {
    std::string text(kUsageText);
    text.replace(text.find("{SUFFIX}"), 8, vhost::kModuleSuffix);
    return text;
}

// A terminal gets a prompt and a console that goes on after errors; a file, a pipe or the
// null device is read as a script. (On Windows the null device counts as a character
// device, so ask for a console instead.)
bool StandardInputIsTerminal() {
#if defined(_WIN32)
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
#else
    return isatty(STDIN_FILENO) != 0;
#endif
}

struct Arguments {
    vhost::HostOptions options;
    std::string script;  // empty or "-": standard input
    bool window = false;
    std::optional<double> speed;
};

// Returns the exit status to stop with, or nothing to go on.
std::optional<int> ParseArguments(int argc, char** argv, Arguments& arguments) {
    bool scriptGiven = false;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        std::string_view inlineValue;
        bool hasInlineValue = false;
        if (arg.size() > 2 && arg.substr(0, 2) == "--") {
            if (const auto eq = arg.find('='); eq != std::string_view::npos) {
                inlineValue = arg.substr(eq + 1);
                arg = arg.substr(0, eq);
                hasInlineValue = true;
            }
        }
        const auto value = [&](std::string& out) -> bool {
            if (hasInlineValue) {
                out = std::string(inlineValue);
                return true;
            }
            if (i + 1 >= argc) {
                std::cerr << "vantrel-host: " << arg << " needs a value\n" << Usage();
                return false;
            }
            out = argv[++i];
            return true;
        };
        std::string text;
        if (arg == "--help" || arg == "-h") {
            std::cout << Usage();
            return 0;
        } else if (arg == "--version") {
            std::cout << "vantrel-host " << VANTREL_VERSION << '\n';
            return 0;
        } else if (arg == "--plugin") {
            if (!value(text)) return vhost::kExitError;
            arguments.options.pluginPath = text;
        } else if (arg == "--workdir") {
            if (!value(text)) return vhost::kExitError;
            arguments.options.workdir = text;
        } else if (arg == "--config") {
            if (!value(text)) return vhost::kExitError;
            arguments.options.configPath = text;
        } else if (arg == "--clock") {
            if (!value(text)) return vhost::kExitError;
            vhost::console::WallTime when;
            std::string error;
            std::time_t wall = 0;
            if (!vhost::console::ParseWallTime(text, when, error)) {
                std::cerr << "vantrel-host: --clock: " << error << '\n';
                return vhost::kExitError;
            }
            if (!vhost::TimeIsRouted()) {
                std::cerr << "vantrel-host: --clock: the clock cannot be set on this platform: the plug-in reads "
                             "the system clock itself\n";
                return vhost::kExitError;
            }
            if (!vhost::ToTimeT(when, wall)) {
                std::cerr << "vantrel-host: --clock: " << text << " does not exist in this time zone\n";
                return vhost::kExitError;
            }
            arguments.options.clock = wall;
        } else if (arg == "--no-load") {
            arguments.options.loadPlugin = false;
        } else if (arg == "--window") {
            arguments.window = true;
        } else if (arg == "--speed") {
            if (!value(text)) return vhost::kExitError;
            char* end = nullptr;
            const double speed = std::strtod(text.c_str(), &end);
            if (text.empty() || *end != '\0' || !(speed > 0.0 && speed <= 1000.0)) {
                std::cerr << "vantrel-host: --speed needs a number above 0, at most 1000 (1 is real time)\n";
                return vhost::kExitError;
            }
            arguments.speed = speed;
        } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
            std::cerr << "vantrel-host: unknown option " << argv[i] << '\n' << Usage();
            return vhost::kExitError;
        } else if (scriptGiven) {
            std::cerr << "vantrel-host: only one SCRIPT may be given\n" << Usage();
            return vhost::kExitError;
        } else {
            arguments.script = std::string(arg);
            scriptGiven = true;
        }
        if ((arg == "--plugin" || arg == "--workdir" || arg == "--config") && text.empty()) {
            std::cerr << "vantrel-host: " << arg << " needs a non-empty value\n";
            return vhost::kExitError;
        }
    }
    if (arguments.speed && !arguments.window) {
        std::cerr << "vantrel-host: --speed is for --window\n" << Usage();
        return vhost::kExitError;
    }
    return std::nullopt;
}

}  // namespace

namespace vhost {

int RunHostProgram(int argc, char** argv, const ProgramWiring& wiring) {
    Arguments arguments;
    if (const std::optional<int> status = ParseArguments(argc, argv, arguments)) return *status;

    const bool fromStdin = arguments.script.empty() || arguments.script == "-";
    std::ifstream scriptFile;
    std::string scriptName = "<stdin>";
    if (!fromStdin) {
        // Opened before the host enters its working directory: the path is the caller's.
        scriptFile.open(arguments.script);
        if (!scriptFile) {
            std::cerr << "vantrel-host: cannot open script " << arguments.script << ": " << std::strerror(errno)
                      << '\n';
            return vhost::kExitError;
        }
        scriptName = arguments.script;
    }

#if defined(VHOST_HAVE_FACES)
    arguments.options.faces = vhost::StandardFaces();
#endif
    vhost::InstallStopHandlers();

    if (arguments.window) {
#if defined(VHOST_HAVE_WINDOW)
        vhost::WindowOptions window;
        window.host = arguments.options;
        window.script = fromStdin ? nullptr : &scriptFile;
        window.scriptName = scriptName;
        window.speed = arguments.speed.value_or(1.0);
        if (wiring.windowDriver) window.driver = wiring.windowDriver();
        const int windowStatus = vhost::RunWindowSession(std::move(window));
        return vhost::StopRequested() ? vhost::StopExitStatus() : windowStatus;
#else
        (void)wiring;
        std::cerr << "vantrel-host: --window: this build has no window (built without GLFW and OpenGL)\n";
        return vhost::kExitRefused;
#endif
    }

    try {
        vhost::Host host(arguments.options);
        const vhost::CommandResult started = host.Start();
        if (!started.ok()) {
            std::cout.flush();
            std::cerr << "vantrel-host: " << started.message << '\n';
            return started.outcome == vhost::Outcome::Refused ? vhost::kExitRefused : vhost::kExitError;
        }
        int status = vhost::kExitOk;
        if (fromStdin && StandardInputIsTerminal()) {
#if defined(VHOST_HAVE_PROMPT)
            EditedPrompt prompt(std::cout);
            status = host.RunInteractive(prompt);
#else
            status = host.RunInteractive(std::cin);
#endif
        } else {
            status = host.RunScript(fromStdin ? std::cin : scriptFile, scriptName);
        }
        if (vhost::StopRequested()) {
            // Ended by a signal, as `quit` would have: unload and save all the same.
            std::cout.flush();
            std::cerr << "vantrel-host: stopped by " << (vhost::StopSignal() == SIGINT ? "Ctrl-C" : "SIGTERM")
                      << ": the session ends as at quit\n";
        }
        if (!host.Finish() && status == vhost::kExitOk) status = vhost::kExitError;
        std::cout.flush();
        if (vhost::StopRequested()) return vhost::StopExitStatus();
        return status;
    } catch (const std::exception& e) {
        std::cout.flush();
        std::cerr << "vantrel-host: fatal: " << e.what() << '\n';
        return vhost::kExitError;
    }
}

}  // namespace vhost
