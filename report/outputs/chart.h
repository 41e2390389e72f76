// The geometry of the page's charts, apart from any markup: which points of a long series
// are drawn and where the axis ticks go (the rank divisions behind them: divisions.h).
#pragma once

#include <cstddef>
#include <span>
#include <vector>

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

}  // namespace vantrel::report
