// The rank divisions a rating falls in, from the plug-in's own rank tables (MMR/RankTiers):
// the page's cards and charts, the overlay, the text files and the road to the next
// division all name them the same way ("G2 D3", as the plug-in's table shows them).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "RankTiers.h"

namespace vantrel::report {

// One division of a rank table as a band of ratings: [start, end), end infinite for the
// top division.
struct RankBand {
    int tier = 0;
    int division = 0;  // 0 to 3 for divisions 1 to 4
    double start = 0.0;
    double end = 0.0;
    const RankEntry* entry = nullptr;  // label and colour
    std::string Label() const;         // e.g. "G2 D3"
};

// The divisions of a table from the bottom up, leaving out the unranked row (all its
// thresholds are 0) and any division that the next one starts at or below.
std::vector<RankBand> RankBands(const RankTable& table);

// The band a rating falls in; none below the lowest band or for a rating that is not finite.
std::optional<RankBand> BandOf(const std::vector<RankBand>& bands, double rating);

// The divisions of mode 0 to 2 ("1vs1" to "3vs3"), built once; empty for "Other", which
// has no rank table.
const std::vector<RankBand>& ModeDivisions(std::size_t mode);

// Where a rating stands in its mode: its division (none below the lowest) and the next
// division above it with the rating still missing to it (none at the top, for "Other" or
// a rating that is not finite).
struct DivisionStanding {
    std::optional<RankBand> current;
    std::optional<RankBand> next;
    double toGo = 0.0;  // next->start - rating, when next
};
DivisionStanding StandingOf(std::size_t mode, double rating);

}  // namespace vantrel::report
