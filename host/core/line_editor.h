// The terminal prompt with line editing and history (libedit), used by vantrel-host when
// standard input is a terminal. Scripts and pipes are read as before, without it.
#pragma once

#include <ostream>

namespace vhost {

class Host;

// Reads commands at a `vantrel> ` prompt until the end of input or `quit`, with the arrow
// keys moving through the line and the session's history. A failing line is reported as
// "error: WHAT" on `err` and the console goes on, as Host::RunInteractive does.
int RunEditedPrompt(Host& host, std::ostream& out, std::ostream& err);

}  // namespace vhost
