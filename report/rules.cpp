// Rebuilding matches and sessions from the log's lines, in file order. docs/report.md
// explains each rule and the evidence it rests on; the comments here say which rule a
// branch applies.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "rules.h"

namespace vantrel::report {
namespace {

// Longest a match poll retries (trackMMR's maxRetries), and the start-up poll's limit.
constexpr std::int32_t kMatchPollRetries = 5;
constexpr std::int32_t kStartupPollRetries = 120;
// A poll's retry runs from the game's timer a second after the check before it, never
// early and at most a little late: a line with count c > 0 is stamped c seconds after its
// poll started, or one more (the stamp's whole seconds, the timer's lateness). A first
// reading (count 0) is written in the same call as its match's line: the same second.
constexpr LocalSeconds kRetrySlack = 1;
// How many of the latest matches an inferred load may move into a new session: a start-up
// poll lasts two minutes, far less than this many matches.
constexpr std::size_t kMaxMovedMatches = 1000;

// How well a line with count `count` at `time` fits a poll that started at `start`: the
// seconds it lies after where the count puts it, or -1 when it cannot be that poll's.
LocalSeconds Lateness(LocalSeconds time, std::int64_t count, LocalSeconds start) {
    const LocalSeconds late = time - count - start;
    const LocalSeconds slack = count == 0 ? 0 : kRetrySlack;
    return late >= 0 && late <= slack ? late : -1;
}

}  // namespace


void HistoryBuilder::Rules::StartSession(std::uint64_t firstLine, LocalSeconds start, bool load, bool keepPolls) {
    // A session opened by this same line (the log's first) is this one.
    if (!history_.sessions.empty() && Current().firstLine == firstLine && Current().matchCount == 0) {
        history_.sessions.pop_back();
    }
    // An unload ends every pending poll without a line: their ratings after stay unknown.
    // When only the counts tell of the load, polls young enough to still write are kept:
    // their matches may turn out to be the new object's.
    if (keepPolls) {
        polls_.erase(std::remove_if(polls_.begin(), polls_.end(),
                                    [&](const Poll& poll) {
                                        return poll.start + kMatchPollRetries + kRetrySlack < start;
                                    }),
                     polls_.end());
    } else {
        polls_.clear();
    }
    counts_ = {};
    startupOpen_ = !load;
    loadLatest_ = start;
    beganByCounts_ = false;
    ratingKnown_ = {};
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
        // before began this very load. Its start-up poll may have begun before the failure.
        if (!previousOpenedSession_) {
            StartSession(number, line.time, true);
            startupOpen_ = true;
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
            startupOpen_ = false;
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
    // A new object counts from zero: its first match of a mode has played 1. Counts that
    // went down belong to another object too (its first lines are missing). Counts that
    // jump ahead are this session with lines missing. A first match of a mode from 0.00
    // when the object held a rating for that mode is a new object's too.
    const bool forgot = continues && !counts->seen && line.starting.IsZero() && ratingKnown_[line.mode];
    if (!continues || forgot) {
        if (played == 1 || (counts->seen && (line.wins < counts->wins || line.losses < counts->losses))) {
            const bool fromResult = hasPrevious_ && previousKind_ == MessageKind::Result;
            StartSession(fromResult ? previousNumber_ : number, fromResult ? previousTime_ : line.time, false, true);
            beganByCounts_ = true;
            counts = &counts_[line.mode];
        }
    }
    Match match;
    match.time = line.time;
    match.line = static_cast<std::uint32_t>(std::min<std::uint64_t>(number, std::numeric_limits<std::uint32_t>::max()));
    match.session = static_cast<std::uint32_t>(history_.sessions.size() - 1);
    match.before = static_cast<float>(line.starting.Value());
    match.mode = line.mode;
    if (!line.starting.IsZero()) ratingKnown_[line.mode] = true;
    // The result line just before decides; without it, the counts' growth does.
    if (hasPrevious_ && previousKind_ == MessageKind::Result) {
        match.won = previousWon_;
    } else {
        match.won = counts->seen ? line.wins > counts->wins : line.wins > line.losses;
    }
    *counts = {true, line.wins, line.losses};
    matchCounts_.push_back({line.wins, line.losses});
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
    ratingKnown_[history_.matches[match].mode] = !rating.IsZero();
    if (match < seenMatches_) ratingsFound_.push_back(match);
    polls_.erase(polls_.begin() + static_cast<std::ptrdiff_t>(poll));
}

std::size_t HistoryBuilder::Rules::FittingPoll(const RatingText& initial, std::int64_t count, LocalSeconds time) const {
    std::size_t best = polls_.size();
    LocalSeconds bestLateness = 0;
    if (count > kMatchPollRetries) return best;
    for (std::size_t i = 0; i < polls_.size(); ++i) {
        if (!(polls_[i].initial == initial)) continue;
        const LocalSeconds late = Lateness(time, count, polls_[i].start);
        if (late >= 0 && (best == polls_.size() || late < bestLateness)) {
            best = i;
            bestLateness = late;
        }
    }
    return best;
}

bool HistoryBuilder::Rules::TakeStartupLine(LocalSeconds loadTime, const RatingText* rating) {
    // The load lies before every line of its object: a line that dates it after the
    // session's first line (beyond the stamp's second) is another load's.
    if (!startupOpen_ || loadTime > loadLatest_ + kRetrySlack) return false;
    startupOpen_ = false;
    Current().loadSeen = true;
    if (beganByCounts_ && history_.sessions.size() >= 2) {
        // Begun where the counts restarted; the load may lie before that, and every match
        // stamped after it is this object's too.
        beganByCounts_ = false;
        const Session& previous = history_.sessions[history_.sessions.size() - 2];
        const std::size_t split = SplitPoint(previous.firstMatch, history_.matches.size(), loadTime);
        if (split < Current().firstMatch) MoveBack(split);
        // Polls of the matches before the load died with the unload.
        polls_.erase(std::remove_if(polls_.begin(), polls_.end(), [&](const Poll& poll) { return poll.match < split; }),
                     polls_.end());
    }
    if (rating != nullptr) ratingKnown_[0] = !rating->IsZero();  // the start-up poll reads 1vs1
    return true;
}

void HistoryBuilder::Rules::MoveBack(std::size_t split) {
    Session& previous = history_.sessions[history_.sessions.size() - 2];
    Session& session = Current();
    const Match& firstMoved = history_.matches[split];
    previous.matchCount = static_cast<std::uint32_t>(split - previous.firstMatch);
    if (split > previous.firstMatch) previous.end = history_.matches[split - 1].time;
    previous.lastLine = std::max(previous.firstLine, std::uint64_t{firstMoved.line} - 1);
    session.matchCount += static_cast<std::uint32_t>(session.firstMatch - split);
    session.firstMatch = static_cast<std::uint32_t>(split);
    session.firstLine = firstMoved.line;
    session.start = firstMoved.time;
    for (std::size_t k = split; k < history_.matches.size() && k < session.firstMatch + session.matchCount; ++k) {
        history_.matches[k].session = static_cast<std::uint32_t>(history_.sessions.size() - 1);
    }
    if (split < seenMatches_) {
        reshapedFrom_ = std::min<std::uint32_t>(reshapedFrom_.value_or(split), static_cast<std::uint32_t>(split));
    }
    RecountSession();
}

void HistoryBuilder::Rules::RecountSession() {
    counts_ = {};
    ratingKnown_ = {};
    const Session& session = Current();
    for (std::size_t k = session.firstMatch; k < std::size_t{session.firstMatch} + session.matchCount; ++k) {
        const Match& match = history_.matches[k];
        counts_[match.mode] = {true, matchCounts_[k][0], matchCounts_[k][1]};
        if (match.before != 0.0f || (match.after && *match.after != 0.0f)) ratingKnown_[match.mode] = true;
    }
}

std::size_t HistoryBuilder::Rules::SplitPoint(std::size_t first, std::size_t end, LocalSeconds loadTime) const {
    // File order decides, stamps only place the load: the matches after the last one
    // stamped before the load are after it, unless stamped in its very second.
    std::size_t after = end;  // the first match stamped after the load, with all later ones
    std::size_t same = end;   // the first of those stamped in the load's second
    for (std::size_t k = end; k > first && end - k < kMaxMovedMatches;) {
        const LocalSeconds time = history_.matches[k - 1].time;
        if (time < loadTime) break;
        --k;
        if (time > loadTime) {
            if (same == end) after = k;
        } else {
            same = k;
        }
    }
    if (same == end) same = after;
    // In the load's second: the fewest that, with the ones after, can begin an object.
    std::array<std::int64_t, kModeCount> earliest{};  // played of each mode's earliest moved match
    std::array<bool, kModeCount> any{};
    const auto take = [&](std::size_t k) {
        earliest[history_.matches[k].mode] = std::int64_t{matchCounts_[k][0]} + matchCounts_[k][1];
        any[history_.matches[k].mode] = true;
    };
    const auto canBegin = [&] {
        for (int m = 0; m < kModeCount; ++m) {
            if (any[m] && earliest[m] != 1) return false;
        }
        return true;
    };
    for (std::size_t k = end; k > after;) take(--k);
    if (canBegin()) return after;
    for (std::size_t k = after; k > same;) {
        take(--k);
        if (canBegin()) return k;
    }
    return after;
}

void HistoryBuilder::Rules::OnRating(std::uint64_t number, const LogLine& line) {
    const bool fromZero = line.initial.IsZero();
    if (line.count == 0) {
        // A first reading that found a change is written at once, in the same call as its
        // match's line (so right after it, in the same second), or inside a start-up (then
        // its initial rating is 0.00).
        if (hasPrevious_ && previousKind_ == MessageKind::MatchEnded && !polls_.empty() &&
            polls_.back().match + 1 == history_.matches.size() && polls_.back().initial == line.initial &&
            (!fromZero || Lateness(line.time, 0, polls_.back().start) == 0)) {
            Resolve(polls_.size() - 1, line.rating);
        } else if (fromZero) {
            StartSession(number, line.time, true);
            ratingKnown_[0] = !line.rating.IsZero();  // the start-up poll reads 1vs1
        } else {
            ++history_.stats.unpairedPollLines;
        }
        return;
    }
    // A retry's reading: the pending match poll of that initial rating whose start the
    // line's stamp and count fit.
    const std::size_t fitting = FittingPoll(line.initial, line.count, line.time);
    if (fitting < polls_.size()) {
        Resolve(fitting, line.rating);
        return;
    }
    if (!fromZero) {
        // Only a match poll reads from a known rating. None fits the time (a clock that
        // was changed): the nearest of that rating, on a tie the oldest.
        std::size_t best = polls_.size();
        LocalSeconds bestDistance = 0;
        for (std::size_t i = 0; i < polls_.size(); ++i) {
            if (!(polls_[i].initial == line.initial)) continue;
            const LocalSeconds distance = std::llabs(line.time - (polls_[i].start + line.count));
            if (best == polls_.size() || distance < bestDistance) {
                best = i;
                bestDistance = distance;
            }
        }
        if (best < polls_.size()) {
            Resolve(best, line.rating);
        } else {
            ++history_.stats.unpairedPollLines;
        }
        return;
    }
    // From 0.00 and no match poll's: a start-up poll's, begun `count` seconds ago. This
    // session's, or a later load's that wrote nothing before.
    const LocalSeconds loadTime = line.time - line.count;
    if (!TakeStartupLine(loadTime, &line.rating)) {
        InferLoad(number, line, loadTime);
        ratingKnown_[0] = !line.rating.IsZero();
    }
}

void HistoryBuilder::Rules::OnLimit(std::uint64_t number, const LogLine& line) {
    if (line.limit == kStartupPollRetries) {
        const LocalSeconds loadTime = line.time - kStartupPollRetries;
        if (!TakeStartupLine(loadTime, nullptr)) InferLoad(number, line, loadTime);
        return;
    }
    // A match poll that gave up: the one whose start fits (all match polls last equally
    // long, so on a tie the oldest); with none, the oldest pending.
    std::size_t poll = polls_.size();
    if (line.limit == kMatchPollRetries) {
        for (std::size_t i = 0; i < polls_.size() && poll == polls_.size(); ++i) {
            if (Lateness(line.time, kMatchPollRetries, polls_[i].start) >= 0) poll = i;
        }
    }
    if (poll == polls_.size() && !polls_.empty()) poll = 0;
    if (poll < polls_.size()) {
        polls_.erase(polls_.begin() + static_cast<std::ptrdiff_t>(poll));
    } else {
        ++history_.stats.unpairedPollLines;
    }
}

// A start-up poll's line that the current session's start-up poll cannot have written: a
// later load wrote nothing of its own before it, and it lies at about loadTime. Every
// match stamped after that moment is the new object's, every one stamped before it the
// old one's. Of the matches stamped in that very second, the new session takes the fewest
// latest whose counts can begin an object (each mode's first of them has played 1); with
// no match after the load, the new session begins at this line.
void HistoryBuilder::Rules::InferLoad(std::uint64_t number, const LogLine& line, LocalSeconds loadTime) {
    Session& session = Current();
    const std::size_t first = session.firstMatch;
    const std::size_t end = history_.matches.size();
    const std::size_t split = SplitPoint(first, end, loadTime);
    if (split == end) {
        StartSession(number, line.time, true);
        return;
    }
    const Match& firstMoved = history_.matches[split];
    if (split == first && session.firstLine >= firstMoved.line - std::min<std::uint64_t>(firstMoved.line, 1)) {
        // The session already begins with these matches: this is its own start-up line.
        startupOpen_ = false;
        session.loadSeen = true;
        return;
    }
    // Split: the earlier matches' polls died with the unload.
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
        history_.matches[k].session = static_cast<std::uint32_t>(history_.sessions.size() - 1);
    }
    RecountSession();
    polls_ = std::move(polls);
}

}  // namespace vantrel::report
