// Reading the plug-in's log line by line: how lines are split, and parsing one line into
// its time stamp and message. HistoryBuilder (rebuild.h) builds on these; the fuzz target
// and the tests use them directly.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "calendar.h"

namespace vantrel::report {

// Modes as the plug-in numbers them in its log: 0 "1vs1", 1 "2vs2", 2 "3vs3", 3 "Other".
inline constexpr int kModeCount = 4;
inline constexpr std::array<const char*, kModeCount> kModeLabels{"1vs1", "2vs2", "3vs3", "Other"};
// A mode as a person names it: "1v1" or "1vs1" ... "other", in any case; none otherwise.
std::optional<std::size_t> ModeNamed(std::string_view name);

// Lines are split on LF; a CR right before the LF is dropped, a last line without LF is a
// line, and any other byte (NUL, CR elsewhere, bytes that are not UTF-8) is kept. Of a line
// longer than kMaxLineKept bytes only the first kMaxLineKept are kept (no message of the
// log is that long, bar the free text of an exception), so memory stays bounded whatever
// the input. HistoryBuilder (rebuild.h) does the splitting; a file is read kReadBlockSize
// bytes at a time.
inline constexpr std::size_t kReadBlockSize = std::size_t{1} << 16;
inline constexpr std::size_t kMaxLineKept = 4096;

enum class MessageKind : std::uint8_t {
    LoadException,      // "OnLoad Exception: " + text
    MatchEndFailed,     // "OnMatchEnd: Server is null" and the other three null handles
    Result,             // "OnMatchEnd: wonMatch: 1|0"
    MatchEndException,  // "Exception in onMatchEnd: " + text
    MatchEnded,         // "Match ended: ModeIndex: ..., Wins: ..., Losses: ..., Starting MMR: ..., Delta MMR: ..."
    TrackException,     // "Exception in trackMMR: " + text
    RatingChanged,      // "CheckMMRUpdate: mmr: ..., initialMMR: ..., count: ..."
    PollLimit,          // "Check MMR Update: maxRetries reached the limit (N)"
    PollException,      // "Exception in CheckMMRUpdate: " + text (a poll's retry failed)
};

// True for the messages that end in an exception's text, which may hold line breaks.
inline bool IsException(MessageKind kind) {
    return kind == MessageKind::LoadException || kind == MessageKind::MatchEndException ||
           kind == MessageKind::TrackException || kind == MessageKind::PollException;
}

// A rating as the log writes it ("{:.2f}"): hundredths, exact for texts of up to 15 digits;
// longer ones and the texts of infinity and not-a-number keep their value instead. Equal
// texts compare equal, so a poll's initial rating matches a match's starting one exactly.
struct RatingText {
    std::int64_t hundredths = 0;
    bool exact = true;
    double other = 0.0;  // when not exact

    double Value() const { return exact ? static_cast<double>(hundredths) / 100.0 : other; }
    bool IsZero() const { return exact && hundredths == 0; }
    bool operator==(const RatingText& rhs) const {
        if (exact != rhs.exact) return false;
        if (exact) return hundredths == rhs.hundredths;
        return other == rhs.other || (other != other && rhs.other != rhs.other);  // NaN texts are alike
    }
};

// One parsed log line.
struct LogLine {
    LocalSeconds time = 0;
    MessageKind kind = MessageKind::MatchEndFailed;
    bool won = false;          // Result
    std::uint8_t mode = 0;     // MatchEnded
    std::int32_t wins = 0;     // MatchEnded
    std::int32_t losses = 0;   // MatchEnded
    RatingText starting;       // MatchEnded
    RatingText rating;         // RatingChanged: the new rating
    RatingText initial;        // RatingChanged
    std::int32_t count = 0;    // RatingChanged: the retry that found it
    std::int64_t limit = 0;    // PollLimit: maxRetries
};

// Parses "YYYY-MM-DD HH:MM:SS - MESSAGE". False for a line without a valid time stamp or
// with a message the plug-in does not write. With `cut` (the line was longer than what is
// kept) only messages that end in free text can be whole.
bool ParseLogLine(std::string_view line, LogLine& out, bool cut = false);

// Parses the 19 characters of a time stamp; false unless they form a valid one.
bool ParseTimestamp(std::string_view text, LocalSeconds& out);

}  // namespace vantrel::report
