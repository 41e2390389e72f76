#include "chart.h"

#include <algorithm>
#include <cmath>

namespace vantrel::report {

std::vector<std::size_t> Downsample(std::span<const float> values, std::size_t maxPoints) {
    const std::size_t n = values.size();
    std::vector<std::size_t> kept;
    if (n <= maxPoints) {
        kept.resize(n);
        for (std::size_t i = 0; i < n; ++i) kept[i] = i;
        return kept;
    }
    // The ends stay; the values between them are cut into runs, each giving its extremes
    // in the order they occur, so the line goes through every peak and trough.
    const std::size_t buckets = std::max<std::size_t>(1, (maxPoints - std::min<std::size_t>(maxPoints, 2)) / 2);
    const std::size_t inner = n - 2;
    kept.reserve(2 * buckets + 2);
    kept.push_back(0);
    for (std::size_t b = 0; b < buckets; ++b) {
        const std::size_t begin = 1 + inner * b / buckets;
        const std::size_t end = 1 + inner * (b + 1) / buckets;
        if (begin == end) continue;
        std::size_t low = begin, high = begin;
        for (std::size_t i = begin + 1; i < end; ++i) {
            if (values[i] < values[low]) low = i;
            if (values[i] > values[high]) high = i;
        }
        kept.push_back(std::min(low, high));
        if (low != high) kept.push_back(std::max(low, high));
    }
    kept.push_back(n - 1);
    return kept;
}

std::vector<double> AxisTicks(double low, double high, int targetTicks) {
    std::vector<double> ticks;
    if (!(high > low) || !std::isfinite(low) || !std::isfinite(high) || targetTicks < 1) return ticks;
    const double rough = (high - low) / targetTicks;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    double step = power * 10.0;
    for (double factor : {1.0, 2.0, 2.5, 5.0}) {
        if (power * factor >= rough) {
            step = power * factor;
            break;
        }
    }
    for (double tick = std::ceil(low / step) * step; tick <= high + step * 1e-9; tick += step) {
        ticks.push_back(std::abs(tick) < step * 1e-9 ? 0.0 : tick);
    }
    return ticks;
}

}  // namespace vantrel::report
