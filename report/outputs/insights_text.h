// The insights in plain sentences, for the terminal (--insights) and the page. Every
// percentage comes with its interval and its count; a bucket of fewer than kFewMatches
// matches is left out; time of day is said as "you win more/less at", never why.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "insights.h"

namespace vantrel::report {

// The sentences of one mode (`perMode`: with its ratings and roads) or of every mode
// together; `label` starts the first ("2vs2", "All modes").
std::vector<std::string> InsightSentences(const ModeInsights& insights, std::string_view label, bool perMode);

// The terminal's part after the usual report: per mode, then every mode together when
// there are several. `colour`: a bold heading.
void WriteInsightsText(const Insights& insights, bool colour, const std::function<void(std::string_view)>& sink);

// "58% (52-64%) of 250 matches": the share won, its 95% interval and the count; "no match".
std::string RateText(const Rate& rate, std::string_view noun = "matches");

// 1234567 as "1,234,567".
std::string Thousands(long long value);

}  // namespace vantrel::report
