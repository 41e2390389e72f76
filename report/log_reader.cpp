// Parsing one line of the log into its time stamp and message. The hot path of a large
// log: no allocation a line, no regex, numbers parsed in place.
#include "log_reader.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>

namespace vantrel::report {

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

// Takes the literal `prefix` off the front of `text`.
template <std::size_t N>
bool Eat(std::string_view& text, const char (&prefix)[N]) {
    if (text.size() < N - 1 || std::memcmp(text.data(), prefix, N - 1) != 0) return false;
    text.remove_prefix(N - 1);
    return true;
}

// A whole decimal integer at the front of `text` (a minus sign only when `sign`); false
// when it does not fit `Int`.
template <typename Int>
bool EatInt(std::string_view& text, Int& value, bool sign) {
    if (!sign && !text.empty() && text.front() == '-') return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc()) return false;
    text.remove_prefix(static_cast<std::size_t>(end - text.data()));
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

bool ParseTimestamp(std::string_view text, LocalSeconds& out) {
    if (text.size() != 19) return false;
    const char* p = text.data();
    if (p[4] != '-' || p[7] != '-' || p[10] != ' ' || p[13] != ':' || p[16] != ':') return false;
    int year, month, day, hour, minute, second;
    if (!Digits(p, 4, year) || !Digits(p + 5, 2, month) || !Digits(p + 8, 2, day) || !Digits(p + 11, 2, hour) ||
        !Digits(p + 14, 2, minute) || !Digits(p + 17, 2, second)) {
        return false;
    }
    // 60: a leap second, as the C library may write it.
    if (hour > 23 || minute > 59 || second > 60) return false;
    const std::optional<std::chrono::sys_days> date = DateOf(year, month, day);
    if (!date) return false;
    out = StartOfDay(*date) + hour * 3600 + minute * 60 + second;
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

std::optional<std::size_t> ModeNamed(std::string_view name) {
    std::string lower;
    for (const char c : name) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (lower == "1v1" || lower == "1vs1") return 0;
    if (lower == "2v2" || lower == "2vs2") return 1;
    if (lower == "3v3" || lower == "3vs3") return 2;
    if (lower == "other") return 3;
    return std::nullopt;
}

}  // namespace vantrel::report
