// The insights as JSON: the "insights" of --json's file and of /api/insights.json.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>

#include "history.h"
#include "insights.h"

namespace vantrel::report {

// {"modes": {"1vs1": {...}, ...}, "overall": {...}}, handed to `sink` in pieces (a form
// curve has a value per match).
void WriteInsightsJson(const Insights& insights, const std::function<void(std::string_view)>& sink);
std::string InsightsJson(const Insights& insights);

// --json: {"sessions": [...], "matches": [...], "insights": {...}}, the sessions and matches
// exactly as /api/history.json has them, written a piece at a time.
void WriteJsonFile(std::ostream& out, const History& history, const Insights& insights);

}  // namespace vantrel::report
