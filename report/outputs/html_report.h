// The --html output: one self-contained page (inline SVG charts per mode with the rank
// divisions behind them, the session table and the match table). No network, no
// external files, no script.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>
#include <string_view>

#include "history.h"
#include "insights.h"

namespace vantrel::report {

struct HtmlOptions {
    std::string title = "Vantrel rating history";
    std::string sourceName;       // the log's path, shown on the page
    std::size_t maxChartPoints = 2000;   // per mode; longer series are downsampled, keeping peaks and troughs
    std::size_t maxSessionRows = 500;    // the newest sessions; a note counts the rest
    std::size_t maxMatchRows = 1000;     // the newest matches; a note counts the rest
    const Insights* insights = nullptr;  // the history's insights; computed (without goals) when not given
};

void WriteHtml(std::ostream& out, const History& history, const HtmlOptions& options);

// Appends `text` with &, <, >, " and ' as entities.
void EscapeHtml(std::string& page, std::string_view text);

}  // namespace vantrel::report
