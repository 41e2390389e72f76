#include "line_editor.h"

#include <editline/readline.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "host.h"
#include "stop_request.h"

namespace vhost {
namespace {

// Reads one key for the line editor, looking at the stop request while it waits: Ctrl-C or
// SIGTERM at the prompt ends the line as the end of input does (the editor puts the
// terminal back as it found it).
int ReadKey(FILE* in) {
    const int fd = fileno(in);
    for (;;) {
        if (StopRequested()) return EOF;
        pollfd ready{fd, POLLIN, 0};
        const int polled = poll(&ready, 1, 200);
        if (polled < 0 && errno != EINTR) return EOF;
        if (polled <= 0) continue;
        unsigned char key = 0;
        const ssize_t n = read(fd, &key, 1);
        if (n == 1) return key;
        if (n == 0 || errno != EINTR) return EOF;
    }
}

}  // namespace

int RunEditedPrompt(Host& host, std::ostream& out, std::ostream& err) {
    using_history();
    rl_catch_signals = 0;  // the host's own handlers record Ctrl-C and SIGTERM
    rl_getc_function = ReadKey;
    while (!StopRequested()) {
        out.flush();
        std::unique_ptr<char, decltype(&std::free)> typed(readline("vantrel> "), &std::free);
        if (typed == nullptr || StopRequested()) break;  // end of input (Ctrl-D) or a stop
        const std::string line(typed.get());
        // Blank lines and repeats stay out of the history, as shells keep it.
        const HIST_ENTRY* last = history_length > 0 ? history_get(history_base + history_length - 1) : nullptr;
        if (line.find_first_not_of(" \t") != std::string::npos && (last == nullptr || line != last->line)) {
            add_history(line.c_str());
        }
        const CommandResult result = host.Execute(line);
        if (result.outcome == Outcome::Quit) return kExitOk;
        if (!result.ok()) {
            out.flush();
            err << "error: " << result.message << '\n';
            err.flush();
        }
    }
    out << '\n';
    return kExitOk;
}

}  // namespace vhost
