// Line splitting and line parsing of the log. The hot path of a large log: no allocation
// a line (a line is a view into the block; only a line across two blocks is copied), no
// regex, numbers parsed in place.
#include "log_reader.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>

#include <fmt/format.h>

namespace vantrel::report {

// ---- Calendar ---------------------------------------------------------------------------

namespace {
// Days from 1970-01-01 to a date of the proleptic Gregorian calendar, and back (the
// classic era-based conversion: 400-year eras of 146097 days, years counted from March).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2);
}

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}
}  // namespace

LocalSeconds ToLocalSeconds(const CivilTime& t) {
    return DaysFromCivil(t.year, static_cast<unsigned>(t.month), static_cast<unsigned>(t.day)) * 86400 +
           t.hour * 3600 + t.minute * 60 + t.second;
}

CivilTime ToCivilTime(LocalSeconds seconds) {
    std::int64_t days = seconds / 86400;
    std::int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    std::int64_t y = 0;
    unsigned m = 0, d = 0;
    CivilFromDays(days, y, m, d);
    CivilTime t;
    t.year = static_cast<int>(y);
    t.month = static_cast<int>(m);
    t.day = static_cast<int>(d);
    t.hour = static_cast<int>(rest / 3600);
    t.minute = static_cast<int>(rest / 60 % 60);
    t.second = static_cast<int>(rest % 60);
    return t;
}

std::string FormatLocalTime(LocalSeconds seconds) {
    const CivilTime t = ToCivilTime(seconds);
    return fmt::format("{:04d}-{:02d}-{:02d} {:02d}:{:02d}:{:02d}", t.year, t.month, t.day, t.hour, t.minute,
                       t.second);
}

// ---- Messages ---------------------------------------------------------------------------

namespace {

bool Digits(const char* p, int n, int& value) {
    value = 0;
    for (int i = 0; i < n; ++i) {
        const unsigned digit = static_cast<unsigned char>(p[i]) - '0';
        if (digit > 9) return false;
        value = value * 10 + static_cast<int>(digit);
    }
    return true;
}

// Takes `prefix` off the front of `text` (a literal: its length is known when compiled,
// so the comparison is a few loads).
template <std::size_t N>
bool Eat(std::string_view& text, const char (&prefix)[N]) {
    constexpr std::size_t n = N - 1;
    if (text.size() < n) return false;
    const char* p = text.data();
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t a, b;
        std::memcpy(&a, p + i, 8);
        std::memcpy(&b, prefix + i, 8);
        if (a != b) return false;
    }
    if constexpr (n % 8 != 0 && n > 8) {
        // The rest as one word that overlaps the last one compared.
        std::uint64_t a, b;
        std::memcpy(&a, p + n - 8, 8);
        std::memcpy(&b, prefix + n - 8, 8);
        if (a != b) return false;
    } else {
        for (; i < n; ++i) {
            if (p[i] != prefix[i]) return false;
        }
    }
    text.remove_prefix(n);
    return true;
}

// A whole decimal integer at the front of `text` (a minus sign only when `sign`); false
// when it does not fit `Int`. A digit loop: the log's counts are short, and this is a
// hot path.
template <typename Int>
bool EatInt(std::string_view& text, Int& value, bool sign) {
    const char* p = text.data();
    const char* end = p + text.size();
    const bool negative = p != end && *p == '-';
    if (negative && !sign) return false;
    if (negative) ++p;
    const char* digits = p;
    using Unsigned = std::make_unsigned_t<Int>;
    // Magnitudes up to max + 1, the most negative value's.
    const auto limit = static_cast<Unsigned>(static_cast<Unsigned>(std::numeric_limits<Int>::max()) + (negative ? 1u : 0u));
    Unsigned magnitude = 0;
    for (; p != end; ++p) {
        const unsigned digit = static_cast<unsigned char>(*p) - static_cast<unsigned>('0');
        if (digit > 9) break;
        if (magnitude > (limit - digit) / 10) return false;
        magnitude = static_cast<Unsigned>(magnitude * 10 + digit);
    }
    if (p == digits) return false;
    value = negative ? static_cast<Int>(Unsigned{0} - magnitude) : static_cast<Int>(magnitude);
    text.remove_prefix(static_cast<std::size_t>(p - text.data()));
    return true;
}

// A rating as "{:.2f}" writes it: an optional minus, digits, a point and two digits, or
// the texts of infinity and not-a-number. The value is that of the text, rounded once.
bool EatRating(std::string_view& text, RatingText& value) {
    const char* begin = text.data();
    const char* end = begin + text.size();
    const bool negative = begin != end && *begin == '-';
    const char* digits = begin + (negative ? 1 : 0);
    const char* p = digits;
    std::int64_t whole = 0;
    for (const char* stop = end - digits > 15 ? digits + 15 : end; p != stop; ++p) {
        const unsigned digit = static_cast<unsigned char>(*p) - static_cast<unsigned>('0');
        if (digit > 9) break;
        whole = whole * 10 + digit;
    }
    if (p != digits && end - p >= 3 && p[0] == '.' && p[1] >= '0' && p[1] <= '9' && p[2] >= '0' && p[2] <= '9') {
        const std::int64_t hundredths = whole * 100 + (p[1] - '0') * 10 + (p[2] - '0');
        value.exact = true;
        value.hundredths = negative ? -hundredths : hundredths;
        text.remove_prefix(static_cast<std::size_t>(p + 3 - begin));
        return true;
    }
    value.exact = false;
    if (p != digits && p != end && *p >= '0' && *p <= '9') {
        // Beyond 15 digits: a decimal conversion of the whole text.
        while (p != end && *p >= '0' && *p <= '9') ++p;
        if (end - p < 3 || p[0] != '.' || p[1] < '0' || p[1] > '9' || p[2] < '0' || p[2] > '9') return false;
        if (std::from_chars(begin, p + 3, value.other).ec != std::errc()) value.other = negative ? -HUGE_VAL : HUGE_VAL;
        text.remove_prefix(static_cast<std::size_t>(p + 3 - begin));
        return true;
    }
    if (p != digits) return false;
    for (const std::string_view special : {"inf", "nan"}) {
        const std::string_view rest(digits, static_cast<std::size_t>(end - digits));
        if (rest.substr(0, 3) != special || (rest.size() > 3 && rest[3] != ',')) continue;
        value.other = special == "inf" ? (negative ? -HUGE_VAL : HUGE_VAL) : std::nan("");
        text.remove_prefix(static_cast<std::size_t>(digits + 3 - begin));
        return true;
    }
    return false;
}

bool ParseMatchEnded(std::string_view text, LogLine& out) {
    int mode = 0;
    if (!EatInt(text, mode, false) || mode < 0 || mode >= kModeCount) return false;
    out.mode = static_cast<std::uint8_t>(mode);
    if (!Eat(text, ", Wins: ") || !EatInt(text, out.wins, false)) return false;
    if (!Eat(text, ", Losses: ") || !EatInt(text, out.losses, false)) return false;
    if (!Eat(text, ", Starting MMR: ") || !EatRating(text, out.starting)) return false;
    // The session's summed change: not used, its form only checked loosely.
    return Eat(text, ", Delta MMR: ") && !text.empty();
}

bool ParseRatingChanged(std::string_view text, LogLine& out) {
    return EatRating(text, out.rating) && Eat(text, ", initialMMR: ") && EatRating(text, out.initial) &&
           Eat(text, ", count: ") && EatInt(text, out.count, false) && text.empty();
}

}  // namespace

namespace {
// Lines come in runs of one minute, and minutes in runs of one day: the minute of the
// last stamp read ("YYYY-MM-DD HH:MM", 16 bytes, already checked) is kept with its seconds
// from 1970, and so is its day ("YYYY-MM-DD", 10 bytes).
// Both start out as a valid stamp's, so that no unchecked bytes ever match them (and are
// constant-initialised: no initialisation check at each use).
struct MinuteCache {
    char minute[17] = "1970-01-01 00:00";
    LocalSeconds seconds = 0;
    char day[11] = "1970-01-01";
    LocalSeconds daySeconds = 0;
};
thread_local MinuteCache minuteCache;

bool ParseSeconds(const char* p, int& second) {
    return p[0] == ':' && Digits(p + 1, 2, second) && second <= 60;  // 60: a leap second, as the C library may write it
}
}  // namespace

bool ParseTimestamp(std::string_view text, LocalSeconds& out) {
    if (text.size() != 19) return false;
    const char* p = text.data();
    int second = 0;
    if (std::memcmp(p, minuteCache.minute, 16) == 0) {
        if (!ParseSeconds(p + 16, second)) return false;
        out = minuteCache.seconds + second;
        return true;
    }
    if (p[10] != ' ' || p[13] != ':') return false;
    int hour, minute;
    if (!Digits(p + 11, 2, hour) || !Digits(p + 14, 2, minute) || !ParseSeconds(p + 16, second)) return false;
    if (hour > 23 || minute > 59) return false;
    if (std::memcmp(p, minuteCache.day, 10) != 0) {
        int year, month, day;
        if (p[4] != '-' || p[7] != '-' || !Digits(p, 4, year) || !Digits(p + 5, 2, month) || !Digits(p + 8, 2, day)) {
            return false;
        }
        if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return false;
        std::memcpy(minuteCache.day, p, 10);
        minuteCache.daySeconds = DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * 86400;
    }
    std::memcpy(minuteCache.minute, p, 16);
    minuteCache.seconds = minuteCache.daySeconds + hour * 3600 + minute * 60;
    out = minuteCache.seconds + second;
    return true;
}

bool ParseLogLine(std::string_view line, LogLine& out, bool cut) {
    if (line.size() < 22 || line[19] != ' ' || line[20] != '-' || line[21] != ' ') return false;
    if (!ParseTimestamp(line.substr(0, 19), out.time)) return false;
    std::string_view text = line.substr(22);
    const auto exception = [&](const auto& prefix, MessageKind kind) {
        if (!Eat(text, prefix)) return false;
        out.kind = kind;
        return true;
    };
    switch (text.empty() ? '\0' : text.front()) {
    case 'O':
        if (exception("OnLoad Exception: ", MessageKind::LoadException)) return true;
        if (cut || !Eat(text, "OnMatchEnd: ")) return false;
        if (text.size() == 11 && Eat(text, "wonMatch: ") && (text[0] == '0' || text[0] == '1')) {
            out.kind = MessageKind::Result;
            out.won = text[0] == '1';
            return true;
        }
        if (text == "Server is null" || text == "TeamWrapper is null" || text == "gameWrapper is null" ||
            text == "PlayerControllerWrapper is null") {
            out.kind = MessageKind::MatchEndFailed;
            return true;
        }
        return false;
    case 'M':
        if (cut || !Eat(text, "Match ended: ModeIndex: ")) return false;
        out.kind = MessageKind::MatchEnded;
        return ParseMatchEnded(text, out);
    case 'C':
        if (cut) return false;
        if (Eat(text, "CheckMMRUpdate: mmr: ")) {
            out.kind = MessageKind::RatingChanged;
            return ParseRatingChanged(text, out);
        }
        if (Eat(text, "Check MMR Update: maxRetries reached the limit (")) {
            out.kind = MessageKind::PollLimit;
            return EatInt(text, out.limit, true) && text == ")";
        }
        return false;
    case 'E':
        return exception("Exception in onMatchEnd: ", MessageKind::MatchEndException) ||
               exception("Exception in trackMMR: ", MessageKind::TrackException) ||
               exception("Exception in CheckMMRUpdate: ", MessageKind::PollException);
    default:
        return false;
    }
}

}  // namespace vantrel::report
