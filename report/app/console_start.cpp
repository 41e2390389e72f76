#include "console_start.h"

#include <cstdio>
#include <string_view>

#include <fmt/format.h>

#include "utf8_path.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace vantrel::report {

bool ShouldHoldWindow(const ConsoleFacts& facts) {
    return facts.attachedProcesses == 1 && facts.inputIsConsole && facts.outputIsConsole;
}

ConsoleFacts CurrentConsole() {
    ConsoleFacts facts;
#if defined(_WIN32)
    // Two slots suffice: the answer only needs to tell "us alone" from "us and more".
    DWORD processes[2] = {};
    facts.attachedProcesses = GetConsoleProcessList(processes, 2);
    DWORD mode = 0;
    facts.inputIsConsole = GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
    facts.outputIsConsole = GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
#endif
    return facts;
}

void HoldWindowIfOwnConsole() {
    if (!ShouldHoldWindow(CurrentConsole())) return;
    std::fputs("\npress Enter to close\n", stdout);
    std::fflush(stdout);
    for (int c = std::getchar(); c != '\n' && c != EOF; c = std::getchar()) {
    }
}

std::string NoLogInFolderMessage(const std::filesystem::path& folder, const std::string& logName) {
#if defined(_WIN32)
    constexpr std::string_view kProgram = "vantrel-report.exe";
    constexpr std::string_view kExample = "\"C:\\path\\to\\VantrelLog.txt\"";
    constexpr std::string_view kDrop = "  or drop the log file onto vantrel-report.exe.\n";
#else
    constexpr std::string_view kProgram = "vantrel-report";
    constexpr std::string_view kExample = "/path/to/VantrelLog.txt";
    constexpr std::string_view kDrop = "";
#endif
    return fmt::format(
        "vantrel-report: no {} in {} (the current folder).\n"
        "  The game writes the log in the folder it runs from. Name it when starting:\n"
        "    {} {}\n"
        "{}",
        logName, PathToUtf8(folder), kProgram, kExample, kDrop);
}

}  // namespace vantrel::report
