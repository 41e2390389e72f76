// Evenings of random play pushed through vantrel-host with the real plug-in: several
// sessions an evening, reloads, ratings found at once, late or never, start-up polls found
// late or never, unloads with polls pending, all four modes. The script keeps its own
// account of every match and session (a model of the plug-in's polls on the host's
// virtual clock); the report's CSV must agree with it wherever the log holds the evidence,
// and every disagreement must be one of the documented cases where it does not.
//
// VANTREL_EVENINGS=N plays N evenings (default 200), VANTREL_EVENINGS_SEED=S another seed,
// VANTREL_EVENINGS_FROM=K starts at evening K (a multiple of 25: replays one host run),
// VANTREL_EVENINGS_REPORT=PATH checks another build of vantrel-report.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "calendar.h"
#include "rebuild.h"
#include "report_test_support.h"
#include "run_host.h"

namespace {

using vantrel::report::LocalSeconds;

int ModeOf(int playlist) { return playlist == 10 ? 0 : playlist == 11 ? 1 : playlist == 13 ? 2 : 3; }
const char* const kModeNames[] = {"1vs1", "2vs2", "3vs3", "Other"};

struct TruthMatch {
    int evening = 0;
    int session = 0;  // the load it belongs to, counted over the whole run
    int mode = 0;
    bool won = false;
    float before = 0.0f;
    std::optional<float> after;
    LocalSeconds stamp = 0;
};

struct TruthSession {
    bool startupLine = false;    // its start-up poll wrote a line (its rating, or the limit)
    bool startupRating = false;  // that line was the 1vs1 rating
};

// The script and, beside it, what the plug-in does with it: its polls and their lines.
class Evenings {
public:
    explicit Evenings(std::uint64_t seed) : random_(seed) {}

    void Play(int evening, LocalSeconds start);
    std::string Script() const { return script_; }
    const std::vector<std::string>& EveningScripts() const { return eveningScripts_; }
    const std::vector<TruthMatch>& Matches() const { return matches_; }
    const std::vector<TruthSession>& Sessions() const { return sessions_; }

private:
    struct Poll {
        int playlist;
        float initial;
        int max;
        int count;
        double next;
        std::uint64_t order;
        int match;  // -1: the start-up poll
    };
    struct Change {
        double at;
        int playlist;
        float value;
    };

    int Uniform(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
    bool Chance(double p) { return std::uniform_real_distribution<double>(0, 1)(random_) < p; }
    float Rating() { return 400.0f + 0.25f * static_cast<float>(Uniform(0, 4800)); }
    float Moved(float from) {
        const float step = 0.25f * static_cast<float>(Uniform(1, 80));
        return Chance(0.5) ? from + step : from - step;
    }

    void Command(const std::string& line) {
        script_ += line + "\n";
        eveningScripts_.back() += line + "\n";
    }
    LocalSeconds Local() const { return clockLocal_ + static_cast<LocalSeconds>(now_ - clockVirtual_); }
    void SetClock(LocalSeconds local) {
        const vantrel::report::CivilTime t = vantrel::report::ToCivilTime(local);
        Command(fmt::format("clock {:04d}-{:02d}-{:02d}T{:02d}:{:02d}:{:02d}", t.year, t.month, t.day, t.hour, t.minute,
                            t.second));
        clockLocal_ = local;
        clockVirtual_ = now_;
    }
    void SetRating(int playlist, float value) {
        Command(fmt::format("mmr {} {:.2f}", playlist, value));
        ratings_[playlist] = value;
    }
    void SetRatingAfter(int playlist, float value, double delay) {
        Command(fmt::format("mmr {} {:.2f} after {}", playlist, value, delay));
        changes_.push_back({now_ + delay, playlist, value});
    }
    float Current(int playlist) const {
        const auto it = ratings_.find(playlist);
        return it == ratings_.end() ? 0.0f : it->second;
    }
    // One check of a poll; false when the poll has ended.
    bool Check(Poll& poll);
    void Wait(int seconds);
    // Lets `seconds` pass: the virtual clock runs while a poll may still write, the rest of
    // the gap is a jump of the local clock (no frames to draw).
    void Gap(int seconds);
    void Load();
    void Unload();
    void Match(int playlist, bool won);

    std::mt19937_64 random_;
    std::string script_;
    std::vector<std::string> eveningScripts_;
    std::vector<TruthMatch> matches_;
    std::vector<TruthSession> sessions_;
    int evening_ = 0;

    double now_ = 0;  // the host's virtual clock
    LocalSeconds clockLocal_ = 0;
    double clockVirtual_ = 0;
    std::map<int, float> ratings_;
    std::vector<Change> changes_;
    std::vector<Poll> polls_;
    std::uint64_t order_ = 0;
    bool loaded_ = false;
    float mmr_[4] = {};
    int wins_[4] = {};
    int losses_[4] = {};
};

bool Evenings::Check(Poll& poll) {
    const float rating = Current(poll.playlist);
    if (rating != poll.initial) {
        mmr_[ModeOf(poll.playlist)] = rating;
        if (poll.match >= 0) {
            matches_[static_cast<std::size_t>(poll.match)].after = rating;
        } else {
            sessions_.back().startupLine = sessions_.back().startupRating = true;
        }
        return false;
    }
    if (poll.count < poll.max) {
        ++poll.count;
        poll.next += 1.0;
        return true;
    }
    if (poll.match < 0) sessions_.back().startupLine = true;  // the limit line
    return false;
}

void Evenings::Wait(int seconds) {
    if (seconds <= 0) return;
    Command(fmt::format("wait {}", seconds));
    const double end = now_ + seconds;
    for (;;) {
        // The earliest due: rating changes fall on half seconds, checks on whole ones, so
        // they never tie; checks due together run oldest poll first, as the timer queue has it.
        auto change = std::min_element(changes_.begin(), changes_.end(),
                                       [](const Change& a, const Change& b) { return a.at < b.at; });
        auto poll = std::min_element(polls_.begin(), polls_.end(), [](const Poll& a, const Poll& b) {
            return a.next < b.next || (a.next == b.next && a.order < b.order);
        });
        const double changeAt = change == changes_.end() ? end + 1 : change->at;
        const double pollAt = poll == polls_.end() ? end + 1 : poll->next;
        if (std::min(changeAt, pollAt) > end) break;
        if (changeAt < pollAt) {
            now_ = changeAt;
            ratings_[change->playlist] = change->value;
            changes_.erase(change);
        } else {
            now_ = pollAt;
            if (!Check(*poll)) polls_.erase(poll);
        }
    }
    now_ = end;
}

void Evenings::Gap(int seconds) {
    int waited = 0;
    if (loaded_ && !polls_.empty()) {
        waited = std::min(seconds, 130);
        Wait(waited);
    }
    if (seconds > waited) SetClock(Local() + (seconds - waited));
}

void Evenings::Load() {
    Command("load");
    loaded_ = true;
    sessions_.emplace_back();
    for (int m = 0; m < 4; ++m) wins_[m] = losses_[m] = 0;
    mmr_[3] = 0.0f;
    // The start-up poll's first check runs inside the load, before the ratings are seeded.
    Poll startup{10, 0.0f, 120, 0, now_, order_++, -1};
    if (Check(startup)) polls_.push_back(startup);
    mmr_[0] = Current(10);
    mmr_[1] = Current(11);
    mmr_[2] = Current(13);
}

void Evenings::Unload() {
    Command("unload");
    loaded_ = false;
    polls_.clear();  // pending retries do nothing once the object is gone
}

void Evenings::Match(int playlist, bool won) {
    Command(fmt::format("match start {}", playlist));
    Command(won ? "match end win" : "match end loss");
    const int m = ModeOf(playlist);
    (won ? wins_ : losses_)[m] += 1;
    matches_.push_back({evening_, static_cast<int>(sessions_.size()) - 1, m, won, mmr_[m], std::nullopt, Local()});
    Poll poll{playlist, mmr_[m], 5, 0, now_, order_++, static_cast<int>(matches_.size()) - 1};
    if (Check(poll)) polls_.push_back(poll);
}

void Evenings::Play(int evening, LocalSeconds start) {
    evening_ = evening;
    eveningScripts_.emplace_back();
    Command(fmt::format("# evening {}", evening));
    SetClock(start);
    // The rating service as it stands, so that the evening's script plays alone as well.
    for (const auto& [playlist, rating] : ratings_) SetRating(playlist, rating);
    const int sessions = Uniform(1, 4);
    for (int s = 0; s < sessions; ++s) {
        // The 1vs1 rating known at load (the start-up poll's line at once), or found late,
        // after the two minutes, or never.
        if (Chance(0.5)) {
            if (Current(10) != 0.0f) SetRating(10, 0.0f);
            const int roll = Uniform(0, 9);
            if (roll < 4) {
                SetRatingAfter(10, Rating(), Uniform(0, 29) + 0.5);
            } else if (roll < 7) {
                SetRatingAfter(10, Rating(), Uniform(30, 130) + 0.5);
            }
        } else if (Current(10) == 0.0f) {
            SetRating(10, Rating());
        }
        for (const int playlist : {11, 13}) {
            if (Chance(0.1)) {
                if (Current(playlist) != 0.0f) SetRating(playlist, 0.0f);
            } else if (Current(playlist) == 0.0f) {
                SetRating(playlist, Rating());
            }
        }
        Load();
        const int matches = Uniform(0, 6);
        for (int k = 0; k < matches; ++k) {
            const int roll = Uniform(0, 19);
            Gap(roll < 7 ? Uniform(1, 7) : roll < 14 ? Uniform(8, 60) : Uniform(61, 900));
            static constexpr int kPlaylists[] = {10, 10, 10, 11, 11, 11, 13, 13, 13, 6, 27, 28};
            const int playlist = kPlaylists[Uniform(0, 11)];
            const float rating = Current(playlist);
            const float next = rating == 0.0f ? Rating() : Moved(rating);
            const int found = Uniform(0, 19);
            if (found < 6) {
                SetRating(playlist, next);  // found at the first reading
            } else if (found < 15) {
                SetRatingAfter(playlist, next, Uniform(0, 4) + 0.5);  // on a retry
            } else if (found < 17) {
                SetRatingAfter(playlist, next, Uniform(5, 40) + 0.5);  // after the poll gave up
            }
            Match(playlist, Chance(0.5));
        }
        const int roll = Uniform(0, 9);
        Gap(roll < 3 ? Uniform(0, 5) : roll < 7 ? Uniform(6, 130) : Uniform(131, 1200));
        Unload();
        if (s + 1 < sessions) Gap(Chance(0.3) ? Uniform(0, 3) : Uniform(4, 1800));
    }
}

// One row of the report's CSV.
struct Row {
    std::string time;
    int session = 0;
    std::string mode;
    std::string result;
    std::string before;
    std::string after;
};

std::vector<Row> ParseCsv(const std::string& text) {
    std::vector<Row> rows;
    std::istringstream in(text);
    std::string line;
    std::getline(in, line);  // the header
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        std::vector<std::string> fields;
        std::size_t begin = 0;
        for (;;) {
            const std::size_t comma = line.find(',', begin);
            fields.push_back(line.substr(begin, comma - begin));
            if (comma == std::string::npos) break;
            begin = comma + 1;
        }
        if (fields.size() < 6) continue;
        rows.push_back({fields[0], std::stoi(fields[1]), fields[2], fields[3], fields[4], fields[5]});
    }
    return rows;
}

// A reload that left no evidence: its start-up poll wrote no line before the unload, and
// its matches up to this one continue the counts of the session the report put them in
// (each is in a mode that session had not played before the reload), and none is a 1vs1
// match from 0.00 after that session read the 1vs1 rating, so nothing in the log marks
// the load.
bool UnseenReload(const Evenings& play, const std::vector<Row>& rows, std::size_t i) {
    const std::vector<TruthMatch>& truth = play.Matches();
    const int session = truth[i].session;
    if (play.Sessions()[static_cast<std::size_t>(session)].startupLine) return false;
    std::size_t first = i;
    while (first > 0 && truth[first - 1].session == session) --first;
    std::size_t reportFirst = first;
    while (reportFirst > 0 && rows[reportFirst - 1].session == rows[first].session) --reportFirst;
    bool readOneVsOne = false;
    for (int t = truth[reportFirst].session; t < session; ++t) {
        readOneVsOne = readOneVsOne || play.Sessions()[static_cast<std::size_t>(t)].startupRating;
    }
    for (std::size_t j = first; j <= i; ++j) {
        if (truth[j].mode == 0 && truth[j].before == 0.0f && readOneVsOne) return false;
        for (std::size_t k = j; k-- > 0 && rows[k].session == rows[i].session;) {
            if (truth[k].session != session && truth[k].mode == truth[j].mode) return false;
        }
    }
    return true;
}

// The boundary of an unseen reload (above) placed where the counts first restart, at match
// i: the log says a load happened before that match, not how long before.
bool LateForAnUnseenReload(const Evenings& play, const std::vector<Row>& rows, std::size_t i) {
    const std::vector<TruthMatch>& truth = play.Matches();
    std::size_t first = i;
    while (first > 0 && truth[first - 1].session == truth[i].session) --first;
    if (first == 0 || rows[first].session != rows[first - 1].session || !UnseenReload(play, rows, first)) return false;
    for (std::size_t k = first + 1; k < i; ++k) {
        if (rows[k].session != rows[first].session) return false;
    }
    return true;
}

std::string Text(std::optional<float> rating) { return rating ? fmt::format("{:.2f}", *rating) : ""; }

int EnvInt(const char* name, int fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? std::atoi(value) : fallback;
}

TEST(ReportRandomEvenings, TheReportAgreesWithThePlayWhereverTheLogHoldsTheEvidence) {
    const int from = EnvInt("VANTREL_EVENINGS_FROM", 0);  // a run to replay: a multiple of 25
    const int evenings = from + EnvInt("VANTREL_EVENINGS", 200);
    const auto seed = static_cast<std::uint64_t>(EnvInt("VANTREL_EVENINGS_SEED", 20240305));
    constexpr int kPerRun = 25;
    const LocalSeconds firstDay = vantrel::report::ToLocalSeconds({2024, 2, 26, 0, 0, 0});
    setenv("TZ", "UTC", 1);  // no daylight-saving jumps in the host's local time

    int matchesTotal = 0, matchesRight = 0, boundariesTotal = 0, boundariesRight = 0;
    int unseenReloads = 0;  // boundaries the log holds no evidence of
    int shown = 0;
    for (int first = from; first < evenings; first += kPerRun) {
        Evenings play(seed + static_cast<std::uint64_t>(first));
        const int count = std::min(kPerRun, evenings - first);
        for (int e = 0; e < count; ++e) {
            play.Play(first + e, firstDay + 86400 * (first + e) + 18 * 3600 + 60 * (e * 37 % 180));
        }
        vtest::HostRunOptions options;
        options.load = false;
        options.arguments = {"--clock", "2024-02-25T12:00"};
        options.timeout = std::chrono::seconds(300);
        const vtest::HostRun run = vtest::RunHost(play.Script(), options);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const std::string csvPath = (run.root / "matches.csv").string();
        const char* report = std::getenv("VANTREL_EVENINGS_REPORT");  // another build of the report, to compare
        const std::string command = fmt::format("'{}' '{}' --csv '{}' > /dev/null",
                                                report != nullptr ? report : VANTREL_REPORT_EXECUTABLE,
                                                (run.workdir / "VantrelLog.txt").string(), csvPath);
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        std::ifstream csvFile(csvPath, std::ios::binary);
        const std::vector<Row> rows = ParseCsv(std::string(std::istreambuf_iterator<char>(csvFile), {}));
        const std::vector<TruthMatch>& truth = play.Matches();
        ASSERT_EQ(rows.size(), truth.size()) << run.Log();
        if (first == from) {
            // The log as a live follower reads it: in pieces cut anywhere, the same history.
            const std::string log = run.Log();
            std::istringstream whole(log);
            std::mt19937 random(static_cast<std::uint32_t>(seed));
            vantrel::report::HistoryBuilder builder;
            for (std::size_t at = 0; at < log.size();) {
                const std::size_t size = 1 + random() % 300;
                builder.Feed(std::string_view(log).substr(at, size));
                at += size;
                builder.TakeChanges();
            }
            builder.Finish();
            vtest::ExpectSameHistory(builder.history(), vantrel::report::ReadHistory(whole));
        }

        for (std::size_t i = 0; i < truth.size(); ++i) {
            const TruthMatch& t = truth[i];
            const Row& r = rows[i];
            std::vector<std::string> wrong;
            if (r.mode != kModeNames[t.mode] || r.result != (t.won ? "win" : "loss") ||
                r.before != fmt::format("{:.2f}", t.before)) {
                wrong.push_back("the match line itself");
            }
            if (r.after != Text(t.after)) wrong.push_back(fmt::format("after {} (played {})", r.after, Text(t.after)));
            ++matchesTotal;
            matchesRight += wrong.empty();
            if (i > 0) {
                const bool boundary = t.session != truth[i - 1].session;
                const bool reported = r.session != rows[i - 1].session;
                ++boundariesTotal;
                if (boundary == reported) {
                    ++boundariesRight;
                } else if (boundary ? UnseenReload(play, rows, i) : LateForAnUnseenReload(play, rows, i)) {
                    ++unseenReloads;
                } else {
                    wrong.push_back(boundary ? "a session boundary missed before it" : "a session boundary made up before it");
                }
            }
            if (!wrong.empty() && shown++ < 5) {
                std::string what;
                for (const std::string& w : wrong) what += (what.empty() ? "" : "; ") + w;
                ADD_FAILURE() << fmt::format("seed {}, evening {}, match {} ({} {} at {}): {}\n", seed + first, t.evening,
                                             i, kModeNames[t.mode], t.won ? "win" : "loss",
                                             vantrel::report::FormatLocalTime(t.stamp), what)
                              << (t.evening > first ? play.EveningScripts()[static_cast<std::size_t>(t.evening - first - 1)] : "")
                              << play.EveningScripts()[static_cast<std::size_t>(t.evening - first)];
            }
        }
    }
    std::printf("%d evenings: %d of %d matches right; %d of %d session boundaries right, %d more without evidence "
                "(reloads that wrote no line, seen late or not at all)\n",
                evenings - from, matchesRight, matchesTotal, boundariesRight, boundariesTotal, unseenReloads);
}

}  // namespace
