// Runs the built vantrel-host executable on a script, the way a person would, and returns
// its exit status, output and working directory. For end-to-end tests:
//
//   vtest::HostRun run = vtest::RunHost("match start 11\nmatch end win\nwait 6\nframe\n");
//   EXPECT_EQ(run.exitCode, 0) << run.err;
//   EXPECT_THAT(run.Log(), HasSubstr("OnMatchEnd: wonMatch: 1"));
//
// Each run gets a fresh temporary directory holding the script (script.vsh), the host's
// working directory (work/: the plug-in's VantrelLog.txt and config.cfg land there) and
// the captured output. The directory is removed when the HostRun is destroyed or is
// assigned another run, unless the environment variable VANTREL_KEEP_TEST_DIRS is set
// (handy when a test fails).
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vtest {

struct HostRunOptions {
    // The program to run. Empty: the vantrel-host of this build.
    std::filesystem::path executable;
    // The plug-in module (--plugin). Empty: the Vantrel module of this build.
    std::filesystem::path plugin;
    // false: start with --no-load.
    bool load = true;
    // Contents of work/config.cfg before the run; nothing: no such file.
    std::optional<std::string> config;
    // More command-line arguments, placed before the script argument.
    std::vector<std::string> arguments;
    // Feed the script on standard input (as `vantrel-host -`) instead of as a file.
    bool scriptOnStdin = false;
    // A run that takes longer is killed and reported with timedOut.
    std::chrono::seconds timeout{120};
};

struct HostRun {
    HostRun() = default;
    HostRun(HostRun&& other) noexcept;
    HostRun& operator=(HostRun&& other) noexcept;
    HostRun(const HostRun&) = delete;
    HostRun& operator=(const HostRun&) = delete;
    ~HostRun();

    int exitCode = -1;  // the exit status; -1 if the host died of a signal or timed out
    bool timedOut = false;
    std::string out;  // standard output
    std::string err;  // standard error
    std::filesystem::path root;     // the temporary directory (the host was started here)
    std::filesystem::path workdir;  // root/work, the host's --workdir

    // A file of the working directory ("" when it does not exist).
    std::string ReadFile(const std::string& name) const;
    // The plug-in's log, work/VantrelLog.txt.
    std::string Log() const { return ReadFile("VantrelLog.txt"); }
    // The saved configuration, work/config.cfg.
    std::string Config() const { return ReadFile("config.cfg"); }
    // Standard output split into lines.
    std::vector<std::string> OutLines() const;

private:
    void RemoveDirectory() noexcept;
};

// Runs `vantrel-host (or options.executable) --plugin PLUGIN --workdir work [ARGUMENTS...] script.vsh` from a fresh
// temporary directory. Error messages about the script therefore read "script.vsh:LINE:".
HostRun RunHost(std::string_view script, const HostRunOptions& options = {});

// The executable under test, and the plug-in module of this build (empty if the build
// has no plug-in target).
std::filesystem::path HostExecutable();
std::filesystem::path PluginModule();

}  // namespace vtest
