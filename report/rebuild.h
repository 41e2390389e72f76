// The history rebuilt while the log is read, in pieces of any size: the batch reader feeds
// a file in blocks, the live follower feeds what the plug-in appended since it last looked.
// Both take the same path and end with the same History.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "history.h"

namespace vantrel::report {

// What changed in the History since the last TakeChanges() (or since the start).
struct HistoryChanges {
    // Sessions [firstNewSession, sessions.size()) and matches [firstNewMatch, matches.size())
    // are new. The last session's end and last line move with every line and are not
    // reported.
    std::size_t firstNewSession = 0;
    std::size_t firstNewMatch = 0;
    // Matches the caller has seen (below firstNewMatch) whose rating after became known, in
    // ascending order.
    std::vector<std::uint32_t> ratingsFound;
    // A start-up line that dates a load among earlier matches moved them into a new
    // session: the first match whose session (and so every session from its own on)
    // changed. Unset when no match changed its session.
    std::optional<std::uint32_t> reshapedFrom;

    bool Any(std::size_t sessions, std::size_t matches) const {
        return firstNewSession < sessions || firstNewMatch < matches || !ratingsFound.empty() || reshapedFrom;
    }
};

class HistoryBuilder {
public:
    HistoryBuilder();
    ~HistoryBuilder();
    HistoryBuilder(const HistoryBuilder&) = delete;
    HistoryBuilder& operator=(const HistoryBuilder&) = delete;

    // Any piece of the file, cut anywhere (inside a line, a CR LF or a character). Each line
    // that ends in it is read; the rest waits for the next piece.
    void Feed(std::string_view bytes);
    // The end of the file: a last line without LF is read as a line.
    void Finish();

    // The history so far: valid, and not moved, until the next Feed or Finish.
    const History& history() const;
    // Takes the history out (the builder is spent).
    History Release();
    // What changed since the last call; the record starts afresh.
    HistoryChanges TakeChanges();
    // Room for the matches of a file of this many bytes (a match line is over 100 bytes):
    // spares the copies of a growing vector.
    void ReserveForBytes(std::uint64_t bytes);

private:
    class Rules;  // the rebuild's rules, line by line (rules.h, rules.cpp)

    void Line(std::string_view text, bool cut);
    void EndCarried();

    std::unique_ptr<Rules> rules_;
    // A line that runs on past the piece fed: up to one byte more than kept, so that a CR
    // right before the LF can still be seen.
    std::string carry_;
    bool carrying_ = false;
    bool carryCut_ = false;
    bool inException_ = false;  // the last log line was an exception, whose text may go on
};

// The batch path: a whole file fed in blocks through one HistoryBuilder.
// Reads a whole log (any line endings, any bytes) and rebuilds its history. Never throws
// for the file's content; unreadable lines are counted in stats.
History ReadHistory(std::istream& log);
// The same, reading `blockSize` bytes at a time (small ones test lines across blocks).
History ReadHistory(std::istream& log, std::size_t blockSize);

}  // namespace vantrel::report
