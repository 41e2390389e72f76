// Ctrl-C (SIGINT) and SIGTERM end a session as `quit` does: the plug-in is unloaded and the
// configuration saved. The handler only records the signal; the host's loops (the script
// player, the prompts, the window) look at it between steps and end the session.
#pragma once

namespace vhost {

// Installs the handlers for SIGINT and SIGTERM (the program does this once; a Host made
// in-process leaves the signals alone).
void InstallStopHandlers();

// The signal that asked the session to stop, or 0.
int StopSignal();
inline bool StopRequested() { return StopSignal() != 0; }

// The exit status after a stop by a signal: 128 plus its number, as shells report it.
int StopExitStatus();

// Records a stop request as the handler does (for tests and for a front end that learns of
// the end another way).
void RequestStop(int signal);

}  // namespace vhost
