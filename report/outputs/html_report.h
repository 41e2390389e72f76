// The --html output: one self-contained page (inline SVG charts per mode with the rank
// divisions behind them, the session table and the match table). No network, no
// external files, no script.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>

#include "history.h"

namespace vantrel::report {

struct HtmlOptions {
    std::string title = "Vantrel rating history";
    std::string sourceName;       // the log's path, shown on the page
    std::size_t maxChartPoints = 2000;   // per mode; longer series are downsampled, keeping peaks and troughs
    std::size_t maxSessionRows = 500;    // the newest sessions; a note counts the rest
    std::size_t maxMatchRows = 1000;     // the newest matches; a note counts the rest
};

void WriteHtml(std::ostream& out, const History& history, const HtmlOptions& options);

}  // namespace vantrel::report
