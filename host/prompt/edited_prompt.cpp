#include "prompt/edited_prompt.h"

#include <editline/readline.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "core/stop_request.h"

namespace vhost {
namespace {

// Reads one key for the line editor, looking at the stop request while it waits: Ctrl-C or
// SIGTERM at the prompt ends the line as the end of input does.
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

EditedPrompt::EditedPrompt(std::ostream& out) : out_(out) {
    using_history();
    rl_catch_signals = 0;  // the host's own handlers record Ctrl-C and SIGTERM
    rl_getc_function = ReadKey;
}

std::optional<std::string> EditedPrompt::Next(std::string_view prompt) {
    out_.flush();
    const std::string shown(prompt);
    std::unique_ptr<char, decltype(&std::free)> typed(readline(shown.c_str()), &std::free);
    if (typed == nullptr || StopRequested()) return std::nullopt;  // end of input (Ctrl-D) or a stop
    std::string line(typed.get());
    const HIST_ENTRY* last = history_length > 0 ? history_get(history_base + history_length - 1) : nullptr;
    if (line.find_first_not_of(" \t") != std::string::npos && (last == nullptr || line != last->line)) {
        add_history(line.c_str());
    }
    return line;
}

}  // namespace vhost
