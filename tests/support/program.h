// Running a program as a person would from a shell, without a shell in between: its
// arguments as given, its standard input from a file, its output captured, killed when
// it runs too long.
//
//   vtest::ProgramRun run = vtest::RunProgram({VANTREL_REPORT_EXECUTABLE, "--help"});
//   EXPECT_EQ(run.exitCode, 0) << run.err;
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace vtest {

struct ProgramOptions {
    std::filesystem::path dir;                  // its working directory; empty: this process's
    std::filesystem::path input = "/dev/null";  // its standard input
    std::vector<std::string> environment;       // NAME=VALUE set for it (beside the rest)
    std::chrono::seconds timeout{120};          // then it is killed and reported timedOut
};

struct ProgramRun {
    int exitCode = -1;  // the exit status; -1 if it died of a signal, timed out or could not start
    bool timedOut = false;
    std::string out;  // standard output
    std::string err;  // standard error
};

// `arguments[0]` is the program's path (not looked up in PATH).
ProgramRun RunProgram(const std::vector<std::string>& arguments, const ProgramOptions& options = {});

}  // namespace vtest
