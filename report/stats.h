// The statistics behind the insights, from their textbook definitions: the Wilson score
// interval of a proportion, the two-sided pooled two-proportion z-test, nearest-rank
// percentiles, and uniform draws from std::mt19937_64 made here (the standard leaves
// std::uniform_int_distribution's algorithm to each library, so the same seed would not
// give the same figures in the Linux and the Windows build).
#pragma once

#include <cstdint>
#include <optional>
#include <random>
#include <span>

namespace vantrel::report {

// z for a two-sided 95% interval.
inline constexpr double kZ95 = 1.959964;

struct Interval {
    double low = 0.0;
    double high = 0.0;
};

// The Wilson score interval of `successes` out of `trials` at `z`; none when trials is 0.
std::optional<Interval> WilsonInterval(long long successes, long long trials, double z = kZ95);

// P(Z <= z) for a standard normal Z.
double NormalCdf(double z);

// The two-sided p-value of the pooled two-proportion z-test of w1/n1 against w2/n2; none
// when either side has no trial. When every trial on both sides had the same outcome the
// proportions are equal and p is 1.
std::optional<double> TwoProportionP(long long w1, long long n1, long long w2, long long n2);

// The nearest-rank percentile (0 < percent <= 100) of values sorted ascending: the
// smallest value with at least `percent` % of the values at or below it. Values must not
// be empty.
int NearestRankPercentile(std::span<const int> sorted, double percent);

// Uniform integers in [0, n), n >= 1, from std::mt19937_64: each 64-bit output gives two
// 32-bit draws (the high half first), each turned into an index by Lemire's multiply and
// reject. The same seed gives the same indices on every platform.
class UniformIndices {
public:
    explicit UniformIndices(std::uint64_t seed) : random_(seed) {}

    std::uint32_t Next(std::uint32_t n) {
        std::uint64_t product = std::uint64_t{Bits()} * n;
        auto low = static_cast<std::uint32_t>(product);
        if (low < n) {
            const std::uint32_t threshold = static_cast<std::uint32_t>(-n) % n;
            while (low < threshold) {
                product = std::uint64_t{Bits()} * n;
                low = static_cast<std::uint32_t>(product);
            }
        }
        return static_cast<std::uint32_t>(product >> 32);
    }

private:
    std::uint32_t Bits() {
        if (spare_) {
            spare_ = false;
            return static_cast<std::uint32_t>(word_);
        }
        word_ = random_();
        spare_ = true;
        return static_cast<std::uint32_t>(word_ >> 32);
    }

    std::mt19937_64 random_;
    std::uint64_t word_ = 0;
    bool spare_ = false;
};

}  // namespace vantrel::report
