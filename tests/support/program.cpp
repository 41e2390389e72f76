#include "program.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <thread>

#include "temp_dir.h"
#include "text.h"

namespace vtest {

ProgramRun RunProgram(const std::vector<std::string>& arguments, const ProgramOptions& options) {
    if (arguments.empty()) throw std::invalid_argument("RunProgram: no program");
    // Output goes to files, not pipes: a program that writes much cannot block on a full pipe.
    const TempDir captured;
    const std::string outPath = (captured.path() / "stdout").string();
    const std::string errPath = (captured.path() / "stderr").string();
    const std::string input = options.input.string();
    const std::string dir = options.dir.string();
    std::vector<std::string> args = arguments;
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::vector<std::string> environment = options.environment;

    const pid_t child = fork();
    if (child < 0) throw std::runtime_error("RunProgram: fork failed: " + std::string(std::strerror(errno)));
    if (child == 0) {
        // Only async-signal-safe calls from here on, and putenv (the child's own copy).
        const int in = open(input.c_str(), O_RDONLY);
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || err < 0 || (!dir.empty() && chdir(dir.c_str()) != 0)) _exit(127);
        dup2(in, STDIN_FILENO);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        for (std::string& variable : environment) putenv(variable.data());
        execv(argv[0], argv.data());
        _exit(127);
    }

    ProgramRun run;
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
    run.out = ReadFile(outPath);
    run.err = ReadFile(errPath);
    return run;
}

}  // namespace vtest
