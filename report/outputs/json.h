// The history as JSON: what --json writes and /api/history.json, /api/session.json and the
// events carry. Every value is as nlohmann::json writes it; the whole history is written one
// match at a time, each match's text made directly (the same bytes as its value's dump, a
// tenth of the time), so a million matches never become a million JSON objects.
#pragma once

#include <cstddef>
#include <array>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "calendar.h"
#include "history.h"
#include "log_reader.h"

namespace vantrel::report {

// A match: time ("YYYY-MM-DD HH:MM:SS"), session (1-based), mode ("1vs1" ... "Other"),
// result ("won"/"lost"), before, after, change (numbers to the hundredth, or null when
// unknown; a before of 0.00 means the plug-in knew no rating yet and is null).
std::string MatchJson(const History& history, std::size_t index);
nlohmann::ordered_json MatchValue(const History& history, std::size_t index);
// A session: number (1-based), start, end, matches, firstMatch (0-based index), loadFailed.
std::string SessionJson(const History& history, std::size_t index);
nlohmann::ordered_json SessionValue(const History& history, std::size_t index);
// {"sessions": [...], "matches": [...]}.
std::string HistoryJson(const History& history);

// The same text in pieces, for a long history served while it grows: the sessions and
// matches there were when it began, a bounded number of matches a piece.
class HistoryJsonPieces {
public:
    explicit HistoryJsonPieces(const History& history)
        : sessions_(history.sessions.size()), matches_(history.matches.size()) {}
    // Appends the next piece (at most `matchesPerPiece` sessions or matches) to `out`; false
    // once the text is complete (nothing appended).
    bool Next(const History& history, std::string& out, std::size_t matchesPerPiece = 2000);

private:
    std::size_t sessions_;
    std::size_t matches_;
    std::size_t next_ = 0;   // the next session, then the next match
    int stage_ = 0;          // 0: sessions next, 1: matches, 2: done
};
// A rating to the hundredth, as the log writes it.
double Hundredths(double value);
// A rating or change as JSON: to the hundredth, null when unknown or not finite.
nlohmann::ordered_json RatingValue(std::optional<double> value);

}  // namespace vantrel::report
