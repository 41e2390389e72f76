// The player's rating history, rebuilt from the plug-in's log (VantrelLog.txt): the
// sessions (one life of the plug-in object each) and the matches in them. rebuild.h
// makes it from the log; summary.h filters and sums it for the outputs.
// Pure C++: no SDK, no host.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "calendar.h"
#include "log_reader.h"

namespace vantrel::report {

// 32 bytes: a year of play is kept whole in memory, a million matches in 32 MB.
struct Match {
    LocalSeconds time = 0;       // of its "Match ended" line
    std::uint32_t line = 0;      // 1-based line number of that line in the log (saturates at 2^32 - 1)
    std::uint32_t session = 0;   // index into History::sessions
    float before = 0.0f;         // "Starting MMR" (0.0: the plug-in knew no rating for the mode yet)
    std::optional<float> after;  // the rating its poll found; empty: unknown (the poll gave up, failed,
                                 // died with an unload, or the log ends first)
    std::uint8_t mode = 0;       // 0 to 3
    bool won = false;

    // The rating change, when both ends are known (a poll from 0.0 found a first rating,
    // not a change).
    std::optional<float> change() const {
        if (!after || before == 0.0f) return std::nullopt;
        return *after - before;
    }
};
static_assert(sizeof(Match) <= 32, "a million matches must fit in 32 MB");

struct Session {
    LocalSeconds start = 0;          // time of its first line
    LocalSeconds end = 0;            // time of its last line
    std::uint64_t firstLine = 0;     // 1-based
    std::uint64_t lastLine = 0;      // 1-based
    std::uint32_t firstMatch = 0;    // its matches are History::matches[firstMatch, firstMatch + matchCount)
    std::uint32_t matchCount = 0;
    bool loadSeen = false;           // a line of its start-up was seen (the start-up poll's or "OnLoad
                                     // Exception: "); false: known from the counts restarting alone (or the
                                     // log's first session, whose load may lie before the file)
    bool loadFailed = false;         // its start-up wrote "OnLoad Exception: "
};

struct ReadStats {
    std::uint64_t lines = 0;               // lines in the file
    std::uint64_t logLines = 0;            // lines that carried a time stamp and a known message
    std::uint64_t continuationLines = 0;   // further lines of an exception text that held line breaks
    std::uint64_t unpairedPollLines = 0;   // rating or limit lines that no pending poll could own
    std::uint64_t unreadable = 0;          // lines skipped as unreadable
    std::uint64_t firstUnreadableLine = 0; // 1-based; 0 when none
};

struct History {
    std::vector<Session> sessions;
    std::vector<Match> matches;   // in file order
    ReadStats stats;
};

}  // namespace vantrel::report
