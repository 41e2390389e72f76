// The --html output: one self-contained page (inline SVG charts per mode with the rank
// divisions behind them, the session table and the match table). No network, no
// external files.
#pragma once

#include <iosfwd>
#include <string>

#include "history.h"

namespace vantrel::report {

struct HtmlOptions {
    std::string title = "Vantrel rating history";
    std::string sourceName;       // the log's path, shown on the page
    std::size_t maxChartPoints = 2000;   // per mode; longer series are downsampled, keeping peaks and troughs
};

void WriteHtml(std::ostream& out, const History& history, const HtmlOptions& options);

}  // namespace vantrel::report
