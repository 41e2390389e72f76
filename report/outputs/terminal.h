// The terminal summary: the session table, then one line per mode.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "history.h"

namespace vantrel::report {

// `colour`: ANSI colours (bold headings, gains green, losses red). WriteTerminal hands the
// text to `sink` in pieces as it goes (a long history has a long session table).
std::string FormatTerminal(const History& history, bool colour);
void WriteTerminal(const History& history, bool colour, const std::function<void(std::string_view)>& sink);

}  // namespace vantrel::report
