// Rebuilding matches and sessions from the log's lines, in file order. docs/report.md
// explains each rule and the evidence it rests on; the comments here say which rule a
// branch applies.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <istream>
#include <limits>

#include "history.h"
#include "log_reader.h"
#include "rebuild.h"

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


}  // namespace

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
    void StartSession(std::uint64_t firstLine, LocalSeconds start, bool load);
    void OnMatchEnded(std::uint64_t number, const LogLine& line);
    void OnRating(std::uint64_t number, const LogLine& line);
    void OnLimit(std::uint64_t number, const LogLine& line);
    void InferLoad(std::uint64_t number, const LogLine& line, LocalSeconds loadTime);
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

void HistoryBuilder::Rules::StartSession(std::uint64_t firstLine, LocalSeconds start, bool load) {
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

void HistoryBuilder::Rules::Line(std::uint64_t number, const LogLine& line) {
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

void HistoryBuilder::Rules::OnMatchEnded(std::uint64_t number, const LogLine& line) {
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

HistoryChanges HistoryBuilder::Rules::TakeChanges() {
    HistoryChanges changes;
    changes.firstNewSession = std::min(seenSessions_, history_.sessions.size());
    changes.firstNewMatch = std::min(seenMatches_, history_.matches.size());
    std::sort(ratingsFound_.begin(), ratingsFound_.end());
    ratingsFound_.erase(std::unique(ratingsFound_.begin(), ratingsFound_.end()), ratingsFound_.end());
    changes.ratingsFound = std::move(ratingsFound_);
    changes.reshapedFrom = reshapedFrom_;
    ratingsFound_.clear();
    reshapedFrom_.reset();
    seenSessions_ = history_.sessions.size();
    seenMatches_ = history_.matches.size();
    return changes;
}

void HistoryBuilder::Rules::Resolve(std::size_t poll, const RatingText& rating) {
    const std::uint32_t match = polls_[poll].match;
    history_.matches[match].after = static_cast<float>(rating.Value());
    if (match < seenMatches_) ratingsFound_.push_back(match);
    polls_.erase(polls_.begin() + static_cast<std::ptrdiff_t>(poll));
}

void HistoryBuilder::Rules::OnRating(std::uint64_t number, const LogLine& line) {
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

void HistoryBuilder::Rules::OnLimit(std::uint64_t number, const LogLine& line) {
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
void HistoryBuilder::Rules::InferLoad(std::uint64_t number, const LogLine& line, LocalSeconds loadTime) {
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
    if (split < seenMatches_) {
        reshapedFrom_ = std::min<std::uint32_t>(reshapedFrom_.value_or(split), static_cast<std::uint32_t>(split));
    }
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

// ---- Feeding the file in pieces ----------------------------------------------------------

HistoryBuilder::HistoryBuilder() : rules_(std::make_unique<Rules>()) {}
HistoryBuilder::~HistoryBuilder() = default;

const History& HistoryBuilder::history() const { return rules_->Result(); }
History HistoryBuilder::Release() { return std::move(rules_->Result()); }
HistoryChanges HistoryBuilder::TakeChanges() { return rules_->TakeChanges(); }

void HistoryBuilder::ReserveForBytes(std::uint64_t bytes) {
    rules_->Result().matches.reserve(static_cast<std::size_t>(
        std::min<std::uint64_t>(bytes / 100 + 1, std::numeric_limits<std::uint32_t>::max())));
}

void HistoryBuilder::Feed(std::string_view bytes) {
    while (!bytes.empty()) {
        const auto* lf = static_cast<const char*>(std::memchr(bytes.data(), '\n', bytes.size()));
        const std::size_t length = lf != nullptr ? static_cast<std::size_t>(lf - bytes.data()) : bytes.size();
        if (lf != nullptr && !carrying_) {
            // The common case: the whole line lies in the piece.
            std::string_view line = bytes.substr(0, length);
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            const bool cut = line.size() > kMaxLineKept;
            Line(cut ? line.substr(0, kMaxLineKept) : line, cut);
            bytes.remove_prefix(length + 1);
            continue;
        }
        // The line began in an earlier piece or runs on past this one: keep what fits of it.
        carrying_ = true;
        const std::size_t room =
            kMaxLineKept + 1 > carry_.size() ? kMaxLineKept + 1 - carry_.size() : 0;
        if (length > room) carryCut_ = true;
        carry_.append(bytes.data(), std::min(length, room));
        if (lf == nullptr) return;
        bytes.remove_prefix(length + 1);
        EndCarried();
    }
}

void HistoryBuilder::Finish() {
    if (carrying_) EndCarried();
}

void HistoryBuilder::EndCarried() {
    bool cut = carryCut_;
    if (!cut && !carry_.empty() && carry_.back() == '\r') carry_.pop_back();
    if (carry_.size() > kMaxLineKept) {
        carry_.resize(kMaxLineKept);
        cut = true;
    }
    Line(carry_, cut);
    carry_.clear();
    carrying_ = false;
    carryCut_ = false;
}

void HistoryBuilder::Line(std::string_view text, bool cut) {
    ReadStats& stats = rules_->Result().stats;
    const std::uint64_t number = ++stats.lines;
    LogLine parsed;
    if (ParseLogLine(text, parsed, cut)) {
        ++stats.logLines;
        rules_->Line(number, parsed);
        inException_ = IsException(parsed.kind);
    } else if (inException_) {
        // An exception's text went on over a line break.
        ++stats.continuationLines;
    } else if (stats.unreadable++ == 0) {
        stats.firstUnreadableLine = number;
    }
}

// ---- The whole file ---------------------------------------------------------------------

History ReadHistory(std::istream& log) { return ReadHistory(log, kReadBlockSize); }

History ReadHistory(std::istream& log, std::size_t blockSize) {
    HistoryBuilder builder;
    const std::istream::pos_type here = log.tellg();
    if (here != std::istream::pos_type(-1) && log.seekg(0, std::ios::end)) {
        const std::istream::pos_type end = log.tellg();
        log.seekg(here);
        if (end != std::istream::pos_type(-1) && end > here) builder.ReserveForBytes(static_cast<std::uint64_t>(end - here));
    }
    log.clear(log.rdstate() & std::ios::badbit);
    blockSize = std::max<std::size_t>(blockSize, 1);
    const std::unique_ptr<char[]> block(new char[blockSize]);
    // A short read is the end of the input, or an error (treated alike).
    for (;;) {
        log.read(block.get(), static_cast<std::streamsize>(blockSize));
        const auto got = static_cast<std::size_t>(log.gcount());
        builder.Feed(std::string_view(block.get(), got));
        if (got < blockSize) break;
    }
    builder.Finish();
    return builder.Release();
}

}  // namespace vantrel::report
