#include "core/stop_request.h"

#include <csignal>

#if !defined(_WIN32)
#include <signal.h>
#endif

namespace vhost {
namespace {

volatile std::sig_atomic_t stopSignal = 0;

extern "C" void OnStopSignal(int signal) { stopSignal = signal; }

}  // namespace

void InstallStopHandlers() {
#if defined(_WIN32)
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
#else
    // Without SA_RESTART: a read of the terminal or of a pipe returns at once (EINTR), so a
    // prompt waiting for a line sees the request.
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
#endif
}

int StopSignal() { return stopSignal; }

int StopExitStatus() { return stopSignal != 0 ? 128 + stopSignal : 0; }

void RequestStop(int signal) { stopSignal = signal; }

}  // namespace vhost
