// The terminal prompt of vantrel-host, typed at through a pseudo-terminal: line editing and
// history come from libedit where the build has it.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <initializer_list>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "run_host.h"
#include "temp_dir.h"
#include "text.h"

namespace {

// Reads what the terminal shows for `seconds`, or until the host closes it.
std::string ReadFor(int terminal, double seconds) {
    std::string shown;
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        pollfd fd{terminal, POLLIN, 0};
        if (poll(&fd, 1, 20) <= 0) continue;
        char buffer[4096];
        const ssize_t n = read(terminal, buffer, sizeof buffer);
        if (n <= 0) break;
        shown.append(buffer, static_cast<std::size_t>(n));
    }
    return shown;
}

// Starts vantrel-host with `args` on a new pseudo-terminal in `dir`; the terminal's
// descriptor goes to `terminal`.
pid_t StartOnTerminal(const char* dir, std::initializer_list<const char*> args, int& terminal) {
    const std::string host = vtest::HostExecutable().string();
    const pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
    if (child == 0) {
        setenv("TERM", "xterm", 1);
        std::vector<const char*> argv{host.c_str()};
        argv.insert(argv.end(), args.begin(), args.end());
        argv.insert(argv.end(), {"--workdir", dir, nullptr});
        execv(host.c_str(), const_cast<char* const*>(argv.data()));
        _exit(127);
    }
    return child;
}

#if defined(VHOST_HAVE_LIBEDIT)
TEST(PromptTest, UpArrowRecallsALineThatCanBeEditedBeforeItRuns) {
    const vtest::TempDir dir("vantrel-prompt-test");
    int terminal = -1;
    const pid_t child = StartOnTerminal(dir.path().c_str(), {"--no-load"}, terminal);
    ASSERT_GE(child, 0);
    std::string shown = ReadFor(terminal, 1.0);
    const auto type = [&](const std::string& keys) {
        ASSERT_EQ(write(terminal, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
        shown += ReadFor(terminal, 0.4);
    };
    type("echo first\r");
    type("\x1b[A");                  // up: "echo first" again
    type("\x7f\x7f\x7f\x7f\x7f");    // five backspaces take "first" off
    type("again\r");
    type("quit\r");
    shown += ReadFor(terminal, 1.0);
    int status = 0;
    waitpid(child, &status, 0);
    close(terminal);

    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << shown;
    EXPECT_TRUE(std::regex_search(shown, std::regex("\nfirst\r?\n"))) << shown;
    EXPECT_TRUE(std::regex_search(shown, std::regex("\nagain\r?\n"))) << shown;
    EXPECT_THAT(shown, ::testing::Not(::testing::HasSubstr("error:")));
}
#endif

// Ctrl-C typed at the prompt (the terminal turns it into SIGINT) and SIGTERM from outside
// end the session as `quit` does: the plug-in unloaded, the changed setting saved; the exit
// status says which signal it was.
TEST(PromptTest, CtrlCAndSigtermEndTheSessionAsQuitDoes) {
    for (const int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal == SIGINT ? "Ctrl-C" : "SIGTERM");
        const vtest::TempDir dir("vantrel-prompt-test");
        int terminal = -1;
        const pid_t child = StartOnTerminal(dir.path().c_str(), {"--plugin", PROBE_PLUGIN}, terminal);
        ASSERT_GE(child, 0);
        std::string shown = ReadFor(terminal, 1.0);
        const std::string line = "set probe_value 7\r";
        ASSERT_EQ(write(terminal, line.data(), line.size()), static_cast<ssize_t>(line.size()));
        shown += ReadFor(terminal, 0.5);
        if (signal == SIGINT) {
            ASSERT_EQ(write(terminal, "\x03", 1), 1);
        } else {
            kill(child, SIGTERM);
        }
        shown += ReadFor(terminal, 2.0);
        int status = 0;
        waitpid(child, &status, 0);
        close(terminal);
        const std::string config = vtest::ReadFile(dir.path() / "config.cfg");
        const std::string unloaded = vtest::ReadFile(dir.path() / "probe-unloaded.txt");

        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 128 + signal) << shown;
        EXPECT_THAT(config, ::testing::HasSubstr("probe_value \"7\"")) << shown;
        EXPECT_EQ(unloaded, "unload\n");
    }
}

}  // namespace
