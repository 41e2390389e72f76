#include "line_editor.h"

#include <editline/readline.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "host.h"

namespace vhost {

int RunEditedPrompt(Host& host, std::ostream& out, std::ostream& err) {
    using_history();
    for (;;) {
        out.flush();
        std::unique_ptr<char, decltype(&std::free)> typed(readline("vantrel> "), &std::free);
        if (typed == nullptr) break;  // end of input (Ctrl-D)
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
