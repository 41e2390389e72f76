#include "run_host.h"

#include <fstream>
#include <stdexcept>

#include "program.h"
#include "temp_dir.h"
#include "text.h"

namespace vtest {
namespace {

void Write(const std::filesystem::path& path, std::string_view text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out) throw std::runtime_error("RunHost: cannot write " + path.string());
}

}  // namespace
std::filesystem::path HostExecutable() { return VANTREL_HOST_EXECUTABLE; }

std::filesystem::path PluginModule() {
#if defined(VANTREL_PLUGIN_MODULE)
    return VANTREL_PLUGIN_MODULE;
#else
    return {};
#endif
}

HostRun::HostRun(HostRun&& other) noexcept { *this = std::move(other); }

HostRun& HostRun::operator=(HostRun&& other) noexcept {
    if (this != &other) {
        RemoveDirectory();  // this run's own directory goes with it
        exitCode = other.exitCode;
        timedOut = other.timedOut;
        out = std::move(other.out);
        err = std::move(other.err);
        root = std::move(other.root);
        workdir = std::move(other.workdir);
        other.root.clear();
    }
    return *this;
}

HostRun::~HostRun() { RemoveDirectory(); }

void HostRun::RemoveDirectory() noexcept {
    if (root.empty() || KeepTestDirectories()) return;
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
    root.clear();
}

std::string HostRun::ReadFile(const std::string& name) const { return vtest::ReadFile(workdir / name); }

std::vector<std::string> HostRun::OutLines() const { return Lines(out); }

HostRun RunHost(std::string_view script, const HostRunOptions& options) {
    HostRun run;
    run.root = MakeTempDirectory("vantrel-host-run");
    run.workdir = run.root / "work";
    std::filesystem::create_directories(run.workdir);
    Write(run.root / "script.vsh", script);
    if (options.config) Write(run.workdir / "config.cfg", *options.config);

    const std::filesystem::path plugin = options.plugin.empty() ? PluginModule() : options.plugin;
    std::vector<std::string> args = {(options.executable.empty() ? HostExecutable() : options.executable).string()};
    if (!plugin.empty()) args.insert(args.end(), {"--plugin", plugin.string()});
    args.insert(args.end(), {"--workdir", "work"});
    if (!options.load) args.push_back("--no-load");
    args.insert(args.end(), options.arguments.begin(), options.arguments.end());
    args.push_back(options.scriptOnStdin ? "-" : "script.vsh");

    ProgramOptions program;
    program.dir = run.root;
    if (options.scriptOnStdin) program.input = run.root / "script.vsh";
    program.timeout = options.timeout;
    ProgramRun result = RunProgram(args, program);
    run.exitCode = result.exitCode;
    run.timedOut = result.timedOut;
    run.out = std::move(result.out);
    run.err = std::move(result.err);
    return run;
}

}  // namespace vtest
