// The page's insights (--html and the live page): per mode, under its rating chart, the
// form curve with its 95% band, the win rates by hour and by weekday and after a win or a
// loss as bars with interval whiskers (buckets of fewer than kFewMatches matches faint),
// the road to the next division on a scale of matches, and the sentences. Inline SVG in
// the page's own style; the pictures keep to the width of a phone.
#pragma once

#include <string>
#include <string_view>

#include "insights.h"

namespace vantrel::report {

// The CSS the pictures need, added to the page's.
std::string_view InsightsStyle();

// One mode's insights (`mode` 0 to 3), or every mode's together (`mode` = kModeCount).
void WriteInsightsPart(std::string& page, const ModeInsights& insights, int mode);

}  // namespace vantrel::report
