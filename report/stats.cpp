#include "stats.h"

#include <algorithm>
#include <cmath>

namespace vantrel::report {

std::optional<Interval> WilsonInterval(long long successes, long long trials, double z) {
    if (trials <= 0) return std::nullopt;
    const double n = static_cast<double>(trials);
    const double p = static_cast<double>(successes) / n;
    const double z2 = z * z;
    const double centre = (p + z2 / (2 * n)) / (1 + z2 / n);
    const double half = z / (1 + z2 / n) * std::sqrt(p * (1 - p) / n + z2 / (4 * n * n));
    // At p = 0 or 1 one bound is exactly the end; rounding must not push it past.
    Interval interval{std::max(0.0, centre - half), std::min(1.0, centre + half)};
    if (successes == 0) interval.low = 0.0;
    if (successes == trials) interval.high = 1.0;
    return interval;
}

double NormalCdf(double z) { return 0.5 * std::erfc(-z / std::sqrt(2.0)); }

std::optional<double> TwoProportionP(long long w1, long long n1, long long w2, long long n2) {
    if (n1 <= 0 || n2 <= 0) return std::nullopt;
    const double a = static_cast<double>(n1), b = static_cast<double>(n2);
    const double p1 = static_cast<double>(w1) / a, p2 = static_cast<double>(w2) / b;
    const double pooled = static_cast<double>(w1 + w2) / (a + b);
    const double variance = pooled * (1 - pooled) * (1 / a + 1 / b);
    if (variance <= 0) return 1.0;
    const double z = (p1 - p2) / std::sqrt(variance);
    // 2 * (1 - Phi(|z|)), without the cancellation of 1 - Phi for large |z|.
    return std::erfc(std::fabs(z) / std::sqrt(2.0));
}

int NearestRankPercentile(std::span<const int> sorted, double percent) {
    const auto count = static_cast<double>(sorted.size());
    auto rank = static_cast<std::size_t>(std::ceil(percent / 100.0 * count));
    if (rank < 1) rank = 1;
    if (rank > sorted.size()) rank = sorted.size();
    return sorted[rank - 1];
}

}  // namespace vantrel::report
