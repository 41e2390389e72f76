// The fault sweep: one representative session of vantrel-host with the real plug-in is run
// clean to learn how often it calls each SDK operation; then, for every operation and every
// call k of it, again with exactly that call throwing (`fault OP throw skip k-1`). Each run
// is a child process under the sanitizers. The plug-in must survive every one: the host
// exits normally, a fault in a guarded path is caught and logged by the plug-in's guard, a
// fault in an unguarded path (drawing, scoreboard, menu command, settings panel, unload) is
// caught and counted by the host exactly once, and no count the table showed before the
// fault is lost afterwards.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <iostream>
#include <map>
#include <optional>

#include "core/calls.h"
#include "host_output.h"
#include "run_host.h"
#include "text.h"

namespace {

using vtest::FrameTable;
using vtest::HostRun;
using vtest::HostRunOptions;
using vtest::RunHost;

// Where a step's SDK calls come from, and so who must catch a fault in one of them.
enum class Phase {
    Quiet,     // makes no SDK call (world changes, match start, scoreboard hooks)
    Load,      // onLoad: the plug-in's start-up guard
    MatchEnd,  // onMatchEnd and trackMMR: their guards
    Wait,      // retry timers (guarded) and frames (not guarded)
    Frame,     // the drawable: not guarded
    Menu,      // the console command: not guarded
    Settings,  // the settings panel: not guarded
    Unload,    // onUnload: not guarded
};

struct Step {
    std::string line;
    Phase phase = Phase::Quiet;
    int mode = -1;  // MatchEnd: the mode whose wins or losses it counts
    bool win = false;
    // Uses a console variable or command of the plug-in, which a failed start-up may not
    // have registered: the console would refuse the line, so such a run leaves it out.
    bool console = false;
};

// Small on purpose: every second waited with the table hidden in a match adds 60 frames of
// one call each, all fault points; with the overlay switched off a frame makes no call.
std::vector<Step> Session() {
    return {
        {"mmr 10 1000 rank 12 1"},
        {"mmr 11 900 rank 10 2"},
        {"mmr 13 800 rank 8 0"},
        {"mmr 12 500"},
        {"load", Phase::Load},  // the ratings are known: the start-up poll ends at once
        {"frame", Phase::Frame},  // in the menus: the whole table
        {"match start 10"},
        {"frame", Phase::Frame},  // hidden in an online match
        {"scoreboard open"},
        {"frame", Phase::Frame},
        {"scoreboard close"},
        {"match end win", Phase::MatchEnd, 0, true},  // the rating moves at the second retry
        {"mmr 10 1012 rank 12 2 after 2"},
        {"scoreboard close"},
        {"wait 2.5", Phase::Wait},
        {"match start 11"},
        {"match end loss", Phase::MatchEnd, 1, false},  // the rating never moves: the limit
        {"set vantrel_enabled 0", Phase::Quiet, -1, false, true},  // the overlay off: these frames make no call, the poll goes on
        {"wait 5.5", Phase::Wait},
        {"set vantrel_enabled 1", Phase::Quiet, -1, false, true},
        {"match start 13 offline"},
        {"frame", Phase::Frame},  // hidden in an offline match
        {"mmr 13 790 rank 8 0"},
        {"match end loss", Phase::MatchEnd, 2, false},  // moved already: found at the first check
        {"match start 12"},
        {"match end win", Phase::MatchEnd, 3, true},  // "Other"
        {"leave"},
        {"frame", Phase::Frame},
        {"vantrel_show_menu", Phase::Menu, -1, false, true},
        {"settings", Phase::Settings},
    };
}

// After the session: the table that must still show the counts, then an unload (swept too).
const std::vector<std::string> kVerify = {"echo @@verify", "frame", "echo @@end", "status"};
const Step kUnload{"unload", Phase::Unload};

// The lines a guard writes, by phase; and the host's names for unguarded callbacks.
std::vector<std::string> GuardLines(Phase phase) {
    switch (phase) {
        case Phase::Load: return {"OnLoad Exception: "};
        case Phase::MatchEnd: return {"Exception in onMatchEnd: ", "Exception in trackMMR: "};
        case Phase::Wait: return {"Exception in CheckMMRUpdate: "};
        default: return {};
    }
}
std::vector<std::string> UnguardedKinds(Phase phase) {
    switch (phase) {
        case Phase::Wait:
        case Phase::Frame: return {"drawable"};
        case Phase::Menu: return {"command \"vantrel_show_menu\""};
        case Phase::Settings: return {"DrawSettings"};
        case Phase::Unload: return {"onUnload"};
        default: return {};
    }
}

struct Counts {
    std::array<int, 4> wins{};
    std::array<int, 4> losses{};
};

Counts CountsBefore(const std::vector<Step>& session, std::size_t step) {
    Counts counts;
    for (std::size_t i = 0; i < step && i < session.size(); ++i) {
        const Step& s = session[i];
        if (s.phase != Phase::MatchEnd) continue;
        (s.win ? counts.wins : counts.losses)[static_cast<std::size_t>(s.mode)] += 1;
    }
    return counts;
}

std::string Script(const std::vector<std::string>& head, const std::vector<Step>& session,
                   const std::vector<std::string>& tail) {
    std::string script;
    for (const std::string& line : head) script += line + "\n";
    for (const Step& step : session) script += step.line + "\n";
    for (const std::string& line : tail) script += line + "\n";
    return script;
}

// The stand-in for a line that needs what a failed start-up did not register.
const std::string kNoConsole = "echo (not registered)";

void ReplaceLine(std::vector<Step>& session, const std::string& line, const std::string& standIn) {
    const auto found = std::find_if(session.begin(), session.end(), [&](const Step& s) { return s.line == line; });
    ASSERT_NE(found, session.end()) << line;
    found->line = standIn;
}

HostRun RunSession(const std::string& script) {
    HostRunOptions options;
    options.load = false;  // the session's own `load` line, so start-up is swept too
    return RunHost(script, options);
}

// The clean run: how many calls of each operation every step has made by its end.
struct Census {
    std::vector<std::map<std::string, std::uint64_t>> afterStep;  // one per session step
    std::map<std::string, std::uint64_t> afterVerify;
    std::map<std::string, std::uint64_t> afterUnload;
    FrameTable table;
    std::string problem;  // why the clean run cannot serve ("" if it can)
};

const Census& CleanCensus() {
    static const Census census = [] {
        Census c;
        const std::vector<Step> session = Session();
        std::string script;
        for (std::size_t i = 0; i < session.size(); ++i) {
            script += session[i].line + "\necho @@step " + std::to_string(i) + "\ncalls\n";
        }
        for (const std::string& line : kVerify) script += line + "\n";
        script += "echo @@verified\ncalls\n" + kUnload.line + "\necho @@unloaded\ncalls\n";
        const HostRun run = RunSession(script);
        if (run.exitCode != 0 || !run.err.empty()) {
            c.problem = "the clean session failed (exit " + std::to_string(run.exitCode) + "): " + run.err;
            return c;
        }
        for (std::size_t i = 0; i < session.size(); ++i) {
            c.afterStep.push_back(vtest::ParseCalls(run.out, "@@step " + std::to_string(i)));
        }
        c.afterVerify = vtest::ParseCalls(run.out, "@@verified");
        c.afterUnload = vtest::ParseCalls(run.out, "@@unloaded");
        c.table = vtest::ParseFrame(run.out, "@@verify", "@@end");
        if (c.afterVerify.empty() || c.afterUnload.empty()) c.problem = "no call counts in the clean session";
        return c;
    }();
    return census;
}

// The step (index into the session; session size for the final unload) in which call k of
// `op` happens; nothing when it falls into the verifying frame.
std::optional<std::size_t> StepOfCall(const Census& census, const std::string& op, std::uint64_t k) {
    const auto count = [&](const std::map<std::string, std::uint64_t>& counts) {
        const auto found = counts.find(op);
        return found == counts.end() ? std::uint64_t{0} : found->second;
    };
    for (std::size_t i = 0; i < census.afterStep.size(); ++i) {
        if (count(census.afterStep[i]) >= k) return i;
    }
    if (k > count(census.afterVerify) && k <= count(census.afterUnload)) return census.afterStep.size();
    return std::nullopt;
}

bool OneOf(const std::string& text, const std::vector<std::string>& options) {
    return std::find(options.begin(), options.end(), text) != options.end();
}

// The checks every run shares: a normal exit, no sanitizer report, the host's count of
// escaped exceptions matching what it reported, and no handle used without a test.
void ExpectCleanExit(const HostRun& run, const std::string& what) {
    EXPECT_EQ(run.exitCode, 0) << what << "\n" << run.err;
    EXPECT_EQ(vtest::SanitizerReport(run.err), "") << what;
    EXPECT_EQ(vtest::LastNumberAfter(run.out, "escaped exceptions: "), vtest::Escapes(run.err).size()) << what;
    EXPECT_EQ(vtest::LastNumberAfter(run.out, "invalid handle uses: "), 0u) << what;
}

std::string RowsText(const FrameTable& table) {
    std::string text;
    for (const vtest::TableRow& row : table.rows) {
        text += "[" + row.name + "|" + row.winLoss + "|" + row.change + "|" + row.rankColumn + "] ";
    }
    return text.empty() ? (table.drawn ? table.error : "(nothing drawn)") : text;
}

class FaultSweep : public ::testing::TestWithParam<std::string> {};

TEST_P(FaultSweep, EveryCallOfTheOperationMayThrow) {
    const std::string op = GetParam();
    const Census& census = CleanCensus();
    ASSERT_EQ(census.problem, "");
    ASSERT_EQ(census.table.error, "");
    const std::vector<Step> session = Session();
    std::vector<Step> withUnload = session;
    withUnload.push_back(kUnload);
    const Counts clean = CountsBefore(session, session.size());

    const std::uint64_t total = census.afterUnload.count(op) != 0 ? census.afterUnload.at(op) : 0;
    std::uint64_t swept = 0;
    std::uint64_t escaped = 0;
    for (std::uint64_t k = 1; k <= total; ++k) {
        const std::optional<std::size_t> stepIndex = StepOfCall(census, op, k);
        if (!stepIndex) continue;  // the verifying frame itself
        const Step& step = withUnload[*stepIndex];
        const std::string message = "swept fault " + op + " #" + std::to_string(k);
        const std::string what = op + " call " + std::to_string(k) + " (step " + std::to_string(*stepIndex) +
                                 ": '" + step.line + "')";
        SCOPED_TRACE(what);
        ++swept;

        const std::string armed =
            "fault " + vtest::QuoteWord(op) + " throw \"" + message + "\" skip " + std::to_string(k - 1);
        std::vector<Step> faulted = session;
        if (step.phase == Phase::Load) {
            for (Step& s : faulted) s.line = s.console ? kNoConsole : s.line;
        }
        const HostRun run = RunSession(Script({armed}, faulted, [] {
            std::vector<std::string> tail = kVerify;
            tail.push_back(kUnload.line);
            tail.push_back("status");
            return tail;
        }()));
        ExpectCleanExit(run, what);

        // Exactly one of the two: the plug-in's guard logged it, or the host caught it.
        const std::vector<vtest::Escape> escapes = vtest::Escapes(run.err);
        const std::vector<std::string> logged = vtest::LinesWith(run.Log(), message);
        ASSERT_EQ(escapes.size() + logged.size(), 1u)
            << what << ": the fault must surface exactly once\nerr:\n" << run.err << "log:\n" << run.Log();
        if (escapes.size() == 1) {
            ++escaped;
            EXPECT_TRUE(OneOf(escapes[0].kind, UnguardedKinds(step.phase)))
                << what << ": escaped from '" << escapes[0].kind << "', where a guard should have caught it";
            EXPECT_EQ(escapes[0].what, message);
        } else {
            const std::vector<std::string> guards = GuardLines(step.phase);
            const bool byGuard = std::any_of(guards.begin(), guards.end(), [&](const std::string& guard) {
                return logged[0].find(" - " + guard + message) != std::string::npos;
            });
            EXPECT_TRUE(byGuard) << what << ": logged by the wrong guard: " << logged[0];
        }

        // The counts made before the fault are still on the table; at most the match being
        // handled when the fault hit is missing; a failed start-up counts nothing at all.
        const FrameTable table = vtest::ParseFrame(run.out, "@@verify", "@@end");
        const Counts before = CountsBefore(session, *stepIndex);
        if (!table.drawn) {
            EXPECT_EQ(step.phase, Phase::Load) << what << ": the table is gone";
            continue;
        }
        ASSERT_EQ(table.error, "") << what;
        EXPECT_EQ(table.rows[3].wins, table.rows[0].wins + table.rows[1].wins + table.rows[2].wins) << what;
        EXPECT_EQ(table.rows[3].losses, table.rows[0].losses + table.rows[1].losses + table.rows[2].losses) << what;
        for (const std::string& text : table.texts) {
            EXPECT_EQ(text.find("nan"), std::string::npos) << what << ": " << text;
            EXPECT_EQ(text.find("inf"), std::string::npos) << what << ": " << text;
        }
        for (std::size_t m = 0; m < 3; ++m) {
            const vtest::TableRow& row = table.rows[m];
            EXPECT_GE(row.wins, before.wins[m]) << what << ": a win was lost; " << RowsText(table);
            EXPECT_GE(row.losses, before.losses[m]) << what << ": a loss was lost; " << RowsText(table);
            if (step.phase == Phase::Load) {
                // Hooks missing after a failed start-up: nothing counted, or all of it.
                const bool none = row.wins == 0 && row.losses == 0;
                const bool all = row.wins == clean.wins[m] && row.losses == clean.losses[m];
                EXPECT_TRUE(none || all) << what << ": " << RowsText(table);
                continue;
            }
            const bool thisMatch = step.phase == Phase::MatchEnd && step.mode == static_cast<int>(m);
            const int winDrop = clean.wins[m] - row.wins;
            const int lossDrop = clean.losses[m] - row.losses;
            EXPECT_TRUE(winDrop == 0 || (thisMatch && step.win && winDrop == 1)) << what << ": " << RowsText(table);
            EXPECT_TRUE(lossDrop == 0 || (thisMatch && !step.win && lossDrop == 1)) << what << ": " << RowsText(table);
        }
        // A fault in drawing, the menu command or the panel changes no statistic: the
        // table must read exactly as in the clean run, text for text (nothing stale either).
        if (escapes.size() == 1) {
            EXPECT_EQ(table.texts, census.table.texts) << what << ": " << RowsText(table);
        }
        if (HasFatalFailure()) return;
    }
    if (swept == 0) {
        GTEST_SKIP() << "the session makes no call of " << op
                     << (op == "setValue" ? " (only a change made in the panel writes: see PanelWrites)"
                                          : " (the plug-in never calls it)");
    }
    std::cout << "[ sweep    ] " << op << ": " << swept << " fault points, " << escaped
              << " caught by the host (unguarded paths), " << swept - escaped << " by the plug-in's guards\n";
    RecordProperty("fault_points", static_cast<int>(swept));
}

std::vector<std::string> AllOperations() {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < vhost::kOpCount; ++i) {
        names.emplace_back(vhost::OpName(static_cast<vhost::Op>(i)));
    }
    return names;
}

std::string TestName(const ::testing::TestParamInfo<std::string>& info) {
    std::string name;
    for (char c : info.param) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Operations, FaultSweep, ::testing::ValuesIn(AllOperations()), TestName);

TEST(FaultSweepSession, CleanRunCountsEveryMatchAndCallsTheWholeSdk) {
    const Census& census = CleanCensus();
    ASSERT_EQ(census.problem, "");
    ASSERT_EQ(census.table.error, "") << census.table.error;
    const std::vector<std::pair<int, int>> expected = {{1, 0}, {0, 1}, {0, 1}, {1, 2}};
    for (std::size_t r = 0; r < 4; ++r) {
        EXPECT_EQ(std::make_pair(census.table.rows[r].wins, census.table.rows[r].losses), expected[r])
            << census.table.rows[r].name;
    }
    // The operations the plug-in is known to use all occur in the session.
    for (const std::string op : {"HookEvent", "HookEventWithCaller", "RegisterDrawable", "UnregisterDrawables",
                                 "SetTimeout", "IsInGame", "IsInOnlineGame", "GetPlayerController", "GetUniqueID",
                                 "GetMMRWrapper", "operator bool", "GetWinningTeam", "GetPlaylist",
                                 "GetPlaylistId", "GetTeamNum", "GetTeamNum2", "GetPlayerMMR", "GetPlayerRank",
                                 "registerCvar", "getCvar", "registerNotifier", "executeCommand",
                                 "CVarWrapper::operator bool", "bindTo", "getBoolValue", "getFloatValue",
                                 "SetColor", "SetPosition", "GetPosition", "FillBox", "DrawLine", "DrawString"}) {
        EXPECT_GT(census.afterUnload.count(op) != 0 ? census.afterUnload.at(op) : 0, 0u) << op;
    }
}

// Each handle the plug-in tests before use, made invalid once.
struct InvalidHandle {
    std::string name;
    std::vector<std::pair<std::string, std::string>> replace;  // first session line with this text, and its stand-in
    std::vector<std::string> head;
    std::string logLine;                       // expected in the log
    std::vector<std::pair<int, int>> table;    // wins and losses per row, total last
    std::map<std::string, std::uint64_t> calls;  // counts expected at the end
};

void PrintTo(const InvalidHandle& handle, std::ostream* os) { *os << handle.name; }

class InvalidHandles : public ::testing::TestWithParam<InvalidHandle> {};

std::string HandleName(const ::testing::TestParamInfo<InvalidHandle>& info) { return info.param.name; }

TEST_P(InvalidHandles, AreReportedOrSkippedWithoutUsingThem) {
    const InvalidHandle& c = GetParam();
    std::vector<Step> session = Session();
    for (const auto& [line, standIn] : c.replace) ReplaceLine(session, line, standIn);
    const HostRun run = RunSession(Script(c.head, session, [] {
        std::vector<std::string> tail = kVerify;
        tail.push_back("echo @@calls");
        tail.push_back("calls");
        return tail;
    }()));
    ExpectCleanExit(run, c.name);
    EXPECT_TRUE(vtest::Escapes(run.err).empty()) << run.err;
    EXPECT_EQ(vtest::LinesWith(run.Log(), " - " + c.logLine).size(), 1u) << run.Log();
    const FrameTable table = vtest::ParseFrame(run.out, "@@verify", "@@end");
    ASSERT_EQ(table.error, "");
    ASSERT_EQ(table.rows.size(), c.table.size());
    for (std::size_t r = 0; r < c.table.size(); ++r) {
        EXPECT_EQ(std::make_pair(table.rows[r].wins, table.rows[r].losses), c.table[r]) << table.rows[r].name;
    }
    const std::map<std::string, std::uint64_t> calls = vtest::ParseCalls(run.out, "@@calls");
    for (const auto& [op, count] : c.calls) EXPECT_EQ(calls.at(op), count) << op;
}

INSTANTIATE_TEST_SUITE_P(
    Handles, InvalidHandles,
    ::testing::Values(
        // The 1vs1 win is not counted in these three; nothing else changes.
        InvalidHandle{"NoServer", {{"match end win", "match end noserver"}}, {}, "OnMatchEnd: Server is null",
                      {{0, 0}, {0, 1}, {0, 1}, {0, 2}}, {{"GetWinningTeam", 3}}},
        InvalidHandle{"NoWinner", {{"match end win", "match end nowinner"}}, {}, "OnMatchEnd: TeamWrapper is null",
                      {{0, 0}, {0, 1}, {0, 1}, {0, 2}}, {{"GetPlayerController", 3}}},
        InvalidHandle{"NoController", {{"match end win", "match end nocontroller"}}, {},
                      "OnMatchEnd: PlayerControllerWrapper is null", {{0, 0}, {0, 1}, {0, 1}, {0, 2}},
                      {{"GetTeamNum", 3}, {"GetTeamNum2", 3}}},
        // Start-up stops after "vantrel_enabled": the panel finds no position variables (and
        // never a line-height one) and draws the check box alone. Nothing is hooked, so
        // nothing is counted; the table is not drawn at all.
        InvalidHandle{"PanelVariablesMissing", {{"vantrel_show_menu", kNoConsole}, {"set vantrel_enabled 0", kNoConsole}, {"set vantrel_enabled 1", kNoConsole}}, {"fault registerCvar throw skip 1"},
                      "OnLoad Exception: injected fault in registerCvar", {}, {{"getBoolValue", 1},
                      {"getFloatValue", 0}, {"getCvar", 5}, {"CVarWrapper::operator bool", 4}}}),
    HandleName);

}  // namespace
