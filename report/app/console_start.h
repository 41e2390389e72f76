// How vantrel-report behaves for a player who starts it from the file manager rather than
// from a console: double-clicked, or with a log file dropped onto it. Windows then gives
// the program a console window of its own, which closes the moment the program ends; the
// report would flash by unread. Elsewhere these are no-ops.
#pragma once

#include <filesystem>
#include <string>

namespace vantrel::report {

// What the program can find out about its console.
struct ConsoleFacts {
    unsigned attachedProcesses = 0;  // processes attached to our console; 0: no console
    bool inputIsConsole = false;     // standard input reads that console's keyboard
    bool outputIsConsole = false;    // standard output writes to that console's window
};

// True when the window closes with the program and nobody could have read it: the console
// holds this process alone (a shell that started us would be attached too), and its input
// and output are the window itself (a pipe or file means a script or a shell started us).
bool ShouldHoldWindow(const ConsoleFacts& facts);

// The facts of this process (Windows); all zero elsewhere.
ConsoleFacts CurrentConsole();

// At the end of a run, when ShouldHoldWindow: writes "press Enter to close" and waits for
// a line (or the end of input). Returns at once otherwise.
void HoldWindowIfOwnConsole();

// The message for a run without a log argument when the current folder has no log:
// which folder was searched, and the two ways of naming the log.
std::string NoLogInFolderMessage(const std::filesystem::path& folder, const std::string& logName);

}  // namespace vantrel::report
