#include "Format.h"

#include <cmath>
#include <limits>

#include <fmt/format.h>

namespace {
// -0.0 would print as "-0.00" inside a field whose sign is written separately.
float PositiveZero(float value) { return value + 0.0f; }
}  // namespace

std::string FormatChange(float m) {
    if (m <= -100.0f) return fmt::format("-{:4.2f}", -m);
    if (m <= -10.0f) return fmt::format(" {:+04.2f}", m);
    if (m < 0.0f) return fmt::format(" -0{:4.2f}", -m);
    if (m < 10.0f) return fmt::format(" +0{:4.2f}", PositiveZero(m));
    if (m < 100.0f) return fmt::format(" {:+04.2f}", m);
    if (m >= 100.0f) return fmt::format("+{:4.2f}", m);
    return fmt::format(" {:+.2f}", m);  // NaN falls through every range
}

std::string FormatWinLoss(int wins, int losses) {
    return fmt::format("{}{}  {}{}", wins < 10 ? " " : "", wins, losses < 10 ? " " : "", losses);
}

std::string FormatRankColumn(const std::string& rankText, float toRankUp) {
    if (toRankUp == 0.0f) return fmt::format("{}     -----", rankText);
    return fmt::format("{}     {:05.2f}", rankText, toRankUp);
}

std::string MatchEndedMessage(int mode, int wins, int losses, float startingMmr, float deltaMmr) {
    return fmt::format("Match ended: ModeIndex: {:d}, Wins: {:d}, Losses: {:d}, Starting MMR: {:.2f}, "
                       "Delta MMR: {:+06.2f}",
                       mode, wins, losses, startingMmr, deltaMmr);
}

std::string RatingChangedMessage(float newMmr, float initialMmr, int count) {
    return fmt::format("CheckMMRUpdate: mmr: {:.2f}, initialMMR: {:.2f}, count: {:d}", newMmr, initialMmr, count);
}

int TruncateToInt(float value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483648.0f) return std::numeric_limits<int>::max();
    if (value <= -2147483648.0f) return std::numeric_limits<int>::min();
    return static_cast<int>(value);
}

int SaturatingAdd(int a, int b) {
    int sum;
    if (__builtin_add_overflow(a, b, &sum)) return b > 0 ? std::numeric_limits<int>::max() : std::numeric_limits<int>::min();
    return sum;
}
