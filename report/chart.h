// The geometry of the page's charts, apart from any markup: which points of a long series
// are drawn, where the axis ticks go, and which rank division a rating falls in.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "RankTiers.h"

namespace vantrel::report {

// The indices (ascending) of the values to draw so that a series of any length keeps its
// shape in about `maxPoints` points: the first and the last value, and from each of
// (maxPoints - 2) / 2 runs of consecutive values its lowest and its highest, so no peak
// or trough is lost. A series no longer than maxPoints is kept whole; a longer one never
// gives more than max(maxPoints, 4) indices.
std::vector<std::size_t> Downsample(std::span<const float> values, std::size_t maxPoints);

// Round tick values for an axis over [low, high]: about `targetTicks` multiples of 1, 2, 2.5
// or 5 times a power of ten, all inside the range.
std::vector<double> AxisTicks(double low, double high, int targetTicks);

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

}  // namespace vantrel::report
