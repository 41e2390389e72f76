// Rebuilding matches and sessions from the log's lines, in file order. docs/report.md
// explains each rule and the evidence it rests on; the comments here say which rule a
// branch applies.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <istream>
#include <limits>

#include "history.h"
#include "log_reader.h"

namespace vantrel::report {
namespace {

// Longest a match poll retries (trackMMR's maxRetries), and the start-up poll's limit.
constexpr std::int32_t kMatchPollRetries = 5;
constexpr std::int64_t kStartupPollRetries = 120;
// How far a rating line's time may lie from where its poll's count puts it, in seconds,
// for a match poll to be preferred over a start-up poll of the same initial rating.
constexpr LocalSeconds kTimingSlack = 2;
// How many of the latest matches an inferred load may move into a new session: a start-up
// poll lasts two minutes, far less than this many matches.
constexpr std::size_t kMaxMovedMatches = 1000;


class Rebuilder {
public:
    void Line(std::uint64_t number, const LogLine& line);
    History& Result() { return history_; }
    void Reserve(std::size_t matches) { history_.matches.reserve(matches); }

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
    void StartSession(std::uint64_t firstLine, LocalSeconds start, bool load);
    void OnMatchEnded(std::uint64_t number, const LogLine& line);
    void OnRating(std::uint64_t number, const LogLine& line);
    void OnLimit(std::uint64_t number, const LogLine& line);
    void InferLoad(std::uint64_t number, const LogLine& line, LocalSeconds loadTime);
    void Resolve(std::size_t poll, const RatingText& rating);

    History history_;
    std::vector<Poll> polls_;  // pending match polls, oldest first
    std::array<Counts, kModeCount> counts_{};
    // Wins and losses of each match of the current session, for an inferred load that
    // splits it.
    std::vector<std::array<std::int32_t, 2>> sessionCounts_;
    bool startupSeen_ = false;  // the current session's start-up poll has been accounted for

    bool hasPrevious_ = false;  // the previous log line
    MessageKind previousKind_ = MessageKind::MatchEndFailed;
    std::uint64_t previousNumber_ = 0;
    LocalSeconds previousTime_ = 0;
    bool previousWon_ = false;
    bool previousOpenedSession_ = false;  // it was the start-up line that began the session
};

void Rebuilder::StartSession(std::uint64_t firstLine, LocalSeconds start, bool load) {
    // A session opened by this same line (the log's first) is this one.
    if (!history_.sessions.empty() && Current().firstLine == firstLine && Current().matchCount == 0) {
        history_.sessions.pop_back();
    }
    // An unload ends every pending poll without a line: their ratings after stay unknown.
    polls_.clear();
    counts_ = {};
    sessionCounts_.clear();
    startupSeen_ = load;
    Session session;
    session.start = session.end = start;
    session.firstLine = session.lastLine = firstLine;
    session.firstMatch = static_cast<std::uint32_t>(history_.matches.size());
    session.loadSeen = load;
    history_.sessions.push_back(session);
}

void Rebuilder::Line(std::uint64_t number, const LogLine& line) {
    if (history_.sessions.empty()) StartSession(number, line.time, false);
    bool openedSession = false;
    switch (line.kind) {
    case MessageKind::LoadException:
        // Written at the end of a failed start-up: a load, unless the start-up line just
        // before began this very load.
        if (!previousOpenedSession_) {
            StartSession(number, line.time, true);
            startupSeen_ = false;  // its start-up poll may have begun before the failure
        }
        Current().loadFailed = true;
        break;
    case MessageKind::MatchEnded:
        OnMatchEnded(number, line);
        break;
    case MessageKind::TrackException:
        // Right after a match's line: its poll failed at the first reading and never ran.
        if (hasPrevious_ && previousKind_ == MessageKind::MatchEnded && !polls_.empty() &&
            polls_.back().match + 1 == history_.matches.size()) {
            polls_.pop_back();
        }
        break;
    case MessageKind::PollException:
        // A retry failed and its poll ended. Which poll is not written: the oldest.
        if (!polls_.empty()) {
            polls_.erase(polls_.begin());
        } else {
            startupSeen_ = true;
        }
        break;
    case MessageKind::RatingChanged:
        OnRating(number, line);
        openedSession = line.count == 0 && Current().loadSeen && Current().firstLine == number;
        break;
    case MessageKind::PollLimit:
        OnLimit(number, line);
        break;
    case MessageKind::Result:
    case MessageKind::MatchEndFailed:
    case MessageKind::MatchEndException:
        break;
    }
    Session& session = Current();
    session.end = line.time;
    session.lastLine = number;
    hasPrevious_ = true;
    previousKind_ = line.kind;
    previousNumber_ = number;
    previousTime_ = line.time;
    previousWon_ = line.won;
    previousOpenedSession_ = openedSession;
}

void Rebuilder::OnMatchEnded(std::uint64_t number, const LogLine& line) {
    Counts* counts = &counts_[line.mode];
    const std::int64_t played = std::int64_t{line.wins} + line.losses;
    const bool continues = counts->seen ? (line.wins == counts->wins + std::int64_t{1} && line.losses == counts->losses) ||
                                              (line.wins == counts->wins && line.losses == counts->losses + std::int64_t{1})
                                        : played == 1;
    if (!continues) {
        // A new object counts from zero: its first match of a mode has played 1. Counts that
        // went down belong to another object too (its first lines are missing). Counts that
        // jump ahead are this session with lines missing.
        if (played == 1 || (counts->seen && (line.wins < counts->wins || line.losses < counts->losses))) {
            const bool fromResult = hasPrevious_ && previousKind_ == MessageKind::Result;
            StartSession(fromResult ? previousNumber_ : number, fromResult ? previousTime_ : line.time, false);
            counts = &counts_[line.mode];
        }
    }
    Match match;
    match.time = line.time;
    match.line = static_cast<std::uint32_t>(std::min<std::uint64_t>(number, std::numeric_limits<std::uint32_t>::max()));
    match.session = static_cast<std::uint32_t>(history_.sessions.size() - 1);
    match.before = static_cast<float>(line.starting.Value());
    match.mode = line.mode;
    // The result line just before decides; without it, the counts' growth does.
    if (hasPrevious_ && previousKind_ == MessageKind::Result) {
        match.won = previousWon_;
    } else {
        match.won = counts->seen ? line.wins > counts->wins : line.wins > line.losses;
    }
    *counts = {true, line.wins, line.losses};
    sessionCounts_.push_back({line.wins, line.losses});
    polls_.push_back({static_cast<std::uint32_t>(history_.matches.size()), line.starting, line.time});
    history_.matches.push_back(match);
    ++Current().matchCount;
}

void Rebuilder::Resolve(std::size_t poll, const RatingText& rating) {
    history_.matches[polls_[poll].match].after = static_cast<float>(rating.Value());
    polls_.erase(polls_.begin() + static_cast<std::ptrdiff_t>(poll));
}

void Rebuilder::OnRating(std::uint64_t number, const LogLine& line) {
    const bool fromZero = line.initial.IsZero();
    if (line.count == 0) {
        // A first reading that found a change is written at once: right after its match's
        // line, or inside a start-up (then its initial rating is 0.00).
        if (hasPrevious_ && previousKind_ == MessageKind::MatchEnded && !polls_.empty() &&
            polls_.back().match + 1 == history_.matches.size() && polls_.back().initial == line.initial) {
            Resolve(polls_.size() - 1, line.rating);
        } else if (fromZero) {
            StartSession(number, line.time, true);
        } else {
            ++history_.stats.unpairedPollLines;
        }
        return;
    }
    // A retry's reading: the pending match poll of that initial rating whose count puts it
    // nearest this line's time (on a tie, the oldest).
    std::size_t best = polls_.size();
    LocalSeconds bestDistance = 0;
    for (std::size_t i = 0; i < polls_.size(); ++i) {
        if (!(polls_[i].initial == line.initial)) continue;
        if (fromZero && line.count > kMatchPollRetries) continue;  // only the start-up poll counts that far
        const LocalSeconds distance = std::llabs(line.time - (polls_[i].start + line.count));
        if (best == polls_.size() || distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    if (!fromZero) {
        if (best < polls_.size()) {
            Resolve(best, line.rating);
        } else {
            ++history_.stats.unpairedPollLines;
        }
        return;
    }
    // From 0.00 the start-up poll may own it as well: a match poll wins when its timing
    // fits, or when the session's start-up poll has already ended.
    if (best < polls_.size() && (bestDistance <= kTimingSlack || startupSeen_)) {
        Resolve(best, line.rating);
    } else if (!startupSeen_) {
        startupSeen_ = true;
        Current().loadSeen = true;
    } else {
        InferLoad(number, line, line.time - line.count);
    }
}

void Rebuilder::OnLimit(std::uint64_t number, const LogLine& line) {
    if (line.limit == kStartupPollRetries) {
        if (!startupSeen_) {
            startupSeen_ = true;
            Current().loadSeen = true;
        } else {
            InferLoad(number, line, line.time - kStartupPollRetries);
        }
        return;
    }
    // All match polls last equally long: the oldest reaches its limit first.
    if (!polls_.empty()) {
        polls_.erase(polls_.begin());
    } else {
        ++history_.stats.unpairedPollLines;
    }
}

// A start-up poll's line when this session's start-up poll has already ended: a later
// load wrote nothing of its own before it. It began about at loadTime. The fewest latest
// matches since then whose counts can start an object (each mode's first of them has
// played 1) move to a new session; with none, the new session begins at this line.
void Rebuilder::InferLoad(std::uint64_t number, const LogLine& line, LocalSeconds loadTime) {
    Session& session = Current();
    const std::size_t first = session.firstMatch;
    const std::size_t end = history_.matches.size();
    std::array<std::int64_t, kModeCount> earliest{};  // played of each mode's earliest match so far
    std::array<bool, kModeCount> any{};
    std::size_t split = end;
    for (std::size_t k = end; k > first && end - k < kMaxMovedMatches;) {
        --k;
        const Match& match = history_.matches[k];
        if (match.time < loadTime - kTimingSlack) break;
        const auto& counts = sessionCounts_[k - first];
        earliest[match.mode] = std::int64_t{counts[0]} + counts[1];
        any[match.mode] = true;
        bool restarts = true;
        for (int m = 0; m < kModeCount; ++m) restarts = restarts && (!any[m] || earliest[m] == 1);
        if (restarts) {
            split = k;
            break;
        }
    }
    if (split == end) {
        StartSession(number, line.time, true);
        return;
    }
    const Match& firstMoved = history_.matches[split];
    if (split == first && session.firstLine >= firstMoved.line - std::min<std::uint64_t>(firstMoved.line, 1)) {
        startupSeen_ = true;  // the session already begins with these matches
        return;
    }
    // Split: the earlier matches' polls died with the unload.
    std::vector<std::array<std::int32_t, 2>> moved(sessionCounts_.begin() + static_cast<std::ptrdiff_t>(split - first),
                                                   sessionCounts_.end());
    std::vector<Poll> polls;
    for (const Poll& poll : polls_) {
        if (poll.match >= split) polls.push_back(poll);
    }
    session.matchCount = static_cast<std::uint32_t>(split - first);
    if (split > first) session.end = history_.matches[split - 1].time;
    session.lastLine = std::max(session.firstLine, std::uint64_t{firstMoved.line} - 1);
    StartSession(firstMoved.line, firstMoved.time, true);
    Session& next = Current();
    next.firstMatch = static_cast<std::uint32_t>(split);
    next.matchCount = static_cast<std::uint32_t>(end - split);
    for (std::size_t k = split; k < end; ++k) {
        Match& match = history_.matches[k];
        match.session = static_cast<std::uint32_t>(history_.sessions.size() - 1);
        counts_[match.mode] = {true, moved[k - split][0], moved[k - split][1]};
    }
    sessionCounts_ = std::move(moved);
    polls_ = std::move(polls);
}

}  // namespace

History ReadHistory(std::istream& log) { return ReadHistory(log, LineReader::kBlockSize); }

History ReadHistory(std::istream& log, std::size_t blockSize) {
    LineReader reader(log, blockSize);
    Rebuilder rebuilder;
    // A file's size bounds its matches (a match line is over 100 bytes): room for them at
    // once spares the copies of a growing vector, and room never used costs no memory.
    const std::istream::pos_type here = log.tellg();
    if (here != std::istream::pos_type(-1) && log.seekg(0, std::ios::end)) {
        const std::istream::pos_type end = log.tellg();
        log.seekg(here);
        if (end != std::istream::pos_type(-1) && end > here) {
            rebuilder.Reserve(static_cast<std::size_t>((end - here) / 100 + 1));
        }
    }
    log.clear(log.rdstate() & std::ios::badbit);
    LogLine parsed;
    std::string_view text;
    bool cut = false;
    bool inException = false;
    std::uint64_t number = 0;
    ReadStats stats;
    while (reader.Next(text, cut)) {
        ++number;
        if (ParseLogLine(text, parsed, cut)) {
            ++stats.logLines;
            rebuilder.Line(number, parsed);
            inException = IsException(parsed.kind);
        } else if (inException) {
            // An exception's text went on over a line break.
            ++stats.continuationLines;
        } else {
            if (stats.unreadable++ == 0) stats.firstUnreadableLine = number;
        }
    }
    stats.lines = number;
    History history = std::move(rebuilder.Result());
    stats.unpairedPollLines = history.stats.unpairedPollLines;
    history.stats = stats;
    return history;
}

}  // namespace vantrel::report
