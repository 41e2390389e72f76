// The rebuild's rules, line by line: what HistoryBuilder (rebuild.h) applies to each log
// line it reads. Internal to the report library; rules.cpp holds the rules themselves.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "history.h"
#include "log_reader.h"
#include "rebuild.h"

namespace vantrel::report {

class HistoryBuilder::Rules {
public:
    void Line(std::uint64_t number, const LogLine& line);
    History& Result() { return history_; }
    const History& Result() const { return history_; }
    HistoryChanges TakeChanges();

private:
    struct Poll {
        std::uint32_t match;  // index into history_.matches
        RatingText initial;
        LocalSeconds start;
    };
    struct Counts {
        bool seen = false;
        std::int32_t wins = 0;
        std::int32_t losses = 0;
    };

    Session& Current() { return history_.sessions.back(); }
    void StartSession(std::uint64_t firstLine, LocalSeconds start, bool load, bool keepPolls = false);
    void OnMatchEnded(std::uint64_t number, const LogLine& line);
    void OnRating(std::uint64_t number, const LogLine& line);
    void OnLimit(std::uint64_t number, const LogLine& line);
    // A start-up line that the current session's start-up poll cannot have written: its
    // load lies about at `loadTime`.
    void InferLoad(std::uint64_t number, const LogLine& line, LocalSeconds loadTime);
    // The first of the matches [first, end) that a load at `loadTime` puts after it (end
    // when none).
    std::size_t SplitPoint(std::size_t first, std::size_t end, LocalSeconds loadTime) const;
    // Moves the previous session's matches from `split` on into the current session.
    void MoveBack(std::size_t split);
    // The counts of the current session's modes, from its matches.
    void RecountSession();
    // Whether the current session's start-up poll can have written a line that dates its
    // load at `loadTime`; if so, that poll has ended.
    bool TakeStartupLine(LocalSeconds loadTime, const RatingText* rating);
    // The pending match poll of this initial rating that a line of `count` at `time` fits
    // best (the least late; on a tie, the oldest); polls_.size() when none fits.
    std::size_t FittingPoll(const RatingText& initial, std::int64_t count, LocalSeconds time) const;
    void Resolve(std::size_t poll, const RatingText& rating);

    History history_;
    // What the caller has seen: how many sessions and matches there were at its last
    // TakeChanges, and what changed among them since.
    std::size_t seenSessions_ = 0;
    std::size_t seenMatches_ = 0;
    std::vector<std::uint32_t> ratingsFound_;
    std::optional<std::uint32_t> reshapedFrom_;

    std::vector<Poll> polls_;  // pending match polls, oldest first
    std::array<Counts, kModeCount> counts_{};
    // Wins and losses of each match, for a load that a late line places among them.
    std::vector<std::array<std::int32_t, 2>> matchCounts_;
    // The current session's start-up poll may still write a line; its load lies at or
    // before loadLatest_ (the session's first line).
    bool startupOpen_ = true;
    LocalSeconds loadLatest_ = 0;
    // The current session was begun by counts that restarted: its load lies somewhere
    // before that match, perhaps before some matches of the session before.
    bool beganByCounts_ = false;
    // A rating the current object has held for each mode (a match's starting rating, a
    // rating its polls found): an object never forgets one, so a later match of that mode
    // from 0.00 is a new object's.
    std::array<bool, kModeCount> ratingKnown_{};

    bool hasPrevious_ = false;  // the previous log line
    MessageKind previousKind_ = MessageKind::MatchEndFailed;
    std::uint64_t previousNumber_ = 0;
    LocalSeconds previousTime_ = 0;
    bool previousWon_ = false;
    bool previousOpenedSession_ = false;  // it was the start-up line that began the session
};

}  // namespace vantrel::report
