// The history as JSON: what /api/history.json, /api/session.json and the events carry.
// Every value goes through nlohmann::json; the whole history is written one match at a
// time, so a million matches never become a million JSON objects at once.
#pragma once

#include <cstddef>
#include <array>
#include <optional>
#include <string>

#include "calendar.h"
#include "history.h"
#include "log_reader.h"

namespace vantrel::report::serve {

// A match: time ("YYYY-MM-DD HH:MM:SS"), session (1-based), mode ("1vs1" ... "Other"),
// result ("won"/"lost"), before, after, change (numbers to the hundredth, or null when
// unknown; a before of 0.00 means the plug-in knew no rating yet and is null).
std::string MatchJson(const History& history, std::size_t index);
// A session: number (1-based), start, end, matches, firstMatch (0-based index), loadFailed.
std::string SessionJson(const History& history, std::size_t index);
// {"sessions": [...], "matches": [...]}.
std::string HistoryJson(const History& history);
// The last session at a glance, for the overlay and the text files: per mode played its
// wins, losses, summed known change and current rating; the last match; the streak.
struct SessionGlance {
    struct Mode {
        int wins = 0;
        int losses = 0;
        double change = 0.0;
        int knownChanges = 0;
        std::optional<double> rating;
    };
    std::size_t session = 0;     // 1-based; 0 when there is none
    std::array<Mode, kModeCount> modes;
    std::array<bool, kModeCount> played{};
    std::optional<std::size_t> last;  // index of the session's last match
    int streak = 0;                   // consecutive results equal to the last match's
    bool streakWon = false;
};
SessionGlance GlanceAtLastSession(const History& history);
std::string SessionGlanceJson(const History& history, const SessionGlance& glance);

// A rating to the hundredth, as the log writes it.
double Hundredths(double value);

}  // namespace vantrel::report::serve
