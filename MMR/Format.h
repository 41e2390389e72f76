// Pure text formatting of the overlay's cells and the log's numbers, and the float-to-int
// conversions of canvas coordinates. No host calls.
#pragma once

#include <cmath>
#include <limits>
#include <string>

#include "host_sdk.h"

// The MMR column: a sign and three integer digits, or a blank, a sign and two digits
// (with a leading 0 below 10), then two decimals. The range is chosen before rounding,
// so 9.996 gives " +010.00".
std::string FormatChange(float change);

// The W/L column: each count with a leading blank below 10, two blanks between.
std::string FormatWinLoss(int wins, int losses);

// The last column: the rank text, five blanks, then "-----" for a distance of exactly 0.0
// or the distance zero-padded to five characters ("05.00", "-3.00").
std::string FormatRankColumn(const std::string& rankText, float toRankUp);

// The log's match and rating lines. Ratings print with two decimals, the change with a
// sign and zero-padded to six characters ("+07.50").
std::string MatchEndedMessage(int mode, int wins, int losses, float startingMmr, float deltaMmr);
std::string RatingChangedMessage(float newMmr, float initialMmr, int count);

// Truncates toward zero; saturates at the int range, and NaN becomes 0, so no position
// makes the conversion undefined. Inline: a frame converts some seventy coordinates.
inline int TruncateToInt(float value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483648.0f) return std::numeric_limits<int>::max();
    if (value <= -2147483648.0f) return std::numeric_limits<int>::min();
    return static_cast<int>(value);
}

// a + b, saturating at the int range.
inline int SaturatingAdd(int a, int b) {
    int sum;
    if (__builtin_add_overflow(a, b, &sum)) return b > 0 ? std::numeric_limits<int>::max() : std::numeric_limits<int>::min();
    return sum;
}

// The integer canvas point of a float position.
inline Vector2 ToVector2(float x, float y) { return {TruncateToInt(x), TruncateToInt(y)}; }
