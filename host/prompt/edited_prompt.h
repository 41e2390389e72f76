// The terminal prompt with line editing and history (libedit): the lines of an interactive
// vantrel-host session when standard input is a terminal. Scripts and pipes are read without
// it.
#pragma once

#include <ostream>

#include "core/line_source.h"

namespace vhost {

// The arrow keys move through the line and the session's history; blank lines and repeats
// stay out of the history, as shells keep it. Ctrl-C or SIGTERM at the prompt ends the
// input as Ctrl-D does (the editor puts the terminal back as it found it).
class EditedPrompt final : public LineSource {
public:
    // `out`: flushed before each prompt, so that a command's output comes before it.
    explicit EditedPrompt(std::ostream& out);
    std::optional<std::string> Next(std::string_view prompt) override;

private:
    std::ostream& out_;
};

}  // namespace vhost
