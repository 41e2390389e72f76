#include "run_host.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "text.h"

namespace vtest {
namespace {

void Write(const std::filesystem::path& path, std::string_view text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out) throw std::runtime_error("RunHost: cannot write " + path.string());
}

std::filesystem::path MakeTemporaryDirectory() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/vantrel-host-run-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("RunHost: cannot create a temporary directory: " + std::string(std::strerror(errno)));
    }
    return pattern;
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
    if (root.empty() || std::getenv("VANTREL_KEEP_TEST_DIRS") != nullptr) return;
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
    root.clear();
}

std::string HostRun::ReadFile(const std::string& name) const { return vtest::ReadFile(workdir / name); }

std::vector<std::string> HostRun::OutLines() const { return Lines(out); }

HostRun RunHost(std::string_view script, const HostRunOptions& options) {
    HostRun run;
    run.root = MakeTemporaryDirectory();
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

    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);

    const std::string root = run.root.string();
    const std::string input = options.scriptOnStdin ? root + "/script.vsh" : "/dev/null";
    const std::string outPath = root + "/stdout.txt";
    const std::string errPath = root + "/stderr.txt";

    const pid_t child = fork();
    if (child < 0) throw std::runtime_error("RunHost: fork failed: " + std::string(std::strerror(errno)));
    if (child == 0) {
        // Only async-signal-safe calls from here on.
        const int in = open(input.c_str(), O_RDONLY);
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || err < 0 || chdir(root.c_str()) != 0) _exit(127);
        dup2(in, STDIN_FILENO);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }

    const auto deadline = std::chrono::steady_clock::now() + options.timeout;
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child) break;
        if (done < 0 && errno != EINTR) break;
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            run.timedOut = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    run.exitCode = !run.timedOut && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = vtest::ReadFile(outPath);
    run.err = vtest::ReadFile(errPath);
    return run;
}

}  // namespace vtest
