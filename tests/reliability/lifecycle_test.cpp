// The plug-in's lifecycle abused: unloaded with rating polls still pending, loaded and
// unloaded a hundred times, unloaded in the middle of a match.
#include <gmock/gmock.h>
#include <gtest/gtest.h>


#include "core/host.h"
#include "host_output.h"
#include "in_process_host.h"
#include "process.h"
#include "run_host.h"
#include "text.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using vtest::HostRun;

HostRun RunWithoutLoad(const std::string& script) {
    vtest::HostRunOptions options;
    options.load = false;
    return vtest::RunHost(script, options);
}

void ExpectNothingEscaped(const HostRun& run) {
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(vtest::SanitizerReport(run.err), "");
    EXPECT_TRUE(vtest::Escapes(run.err).empty()) << run.err;
    EXPECT_EQ(vtest::LastNumberAfter(run.out, "escaped exceptions: "), 0u);
}

// The start-up poll (rating unknown: up to 120 retries) and a match's poll are pending when
// the plug-in goes; their retries come due with the object destroyed and must do nothing.
TEST(Lifecycle, UnloadWithPollsPendingThenTheirRetriesComeDue) {
    const HostRun run = RunWithoutLoad(
        "load\nmatch start 11\nmatch end win\nwait 0.5\nunload\nstatus\necho @@before\ncalls\n"
        "wait 130\necho @@after\ncalls\nstatus\n");
    ExpectNothingEscaped(run);
    EXPECT_THAT(run.out, HasSubstr("pending: 2 timers"));
    EXPECT_THAT(run.out, HasSubstr("pending: 0 timers"));
    const auto before = vtest::ParseCalls(run.out, "@@before");
    const auto after = vtest::ParseCalls(run.out, "@@after");
    EXPECT_EQ(before, after);  // not one SDK call from the retries
    // The log ends with the match: no retry wrote a limit message for a plug-in that is gone.
    const std::vector<std::string> log = vtest::Lines(run.Log());
    ASSERT_FALSE(log.empty());
    EXPECT_THAT(log.back(), HasSubstr("Match ended: ModeIndex: 1, Wins: 1, Losses: 0"));
    EXPECT_THAT(run.Log(), Not(HasSubstr("maxRetries")));
}

// A hundred sessions in one process: each starts from zero, and at exit LeakSanitizer finds
// nothing left behind.
TEST(Lifecycle, LoadAndUnloadAHundredTimes) {
    std::string script;
    for (int i = 0; i < 100; ++i) script += "load\nmatch start 11\nmatch end win\nunload\n";
    const HostRun run = RunWithoutLoad(script + "leave\nload\necho @@frame\nframe\necho @@end\nstatus\n");
    ExpectNothingEscaped(run);
    EXPECT_EQ(vtest::LinesWith(run.Log(), "Match ended: ModeIndex: 1, Wins: 1, Losses: 0,").size(), 100u);
    const vtest::FrameTable table = vtest::ParseFrame(run.out, "@@frame", "@@end");
    ASSERT_EQ(table.error, "");
    EXPECT_EQ(table.rows.at(3).wins, 0);  // the hundred-and-first session is fresh
}

// The same in-process, where this process's file descriptors and heap can be counted: after
// a first load has brought the module in, a hundred more cycles hold nothing more.
TEST(Lifecycle, LoadUnloadCyclesHoldNoFilesOrMemory) {
    vtest::InProcessHost setup(VANTREL_PLUGIN_PATH);
    ASSERT_TRUE(setup.Start().ok());
    const auto cycle = [&] {
        for (const char* line : {"load", "match start 11", "match end win", "wait 6", "unload"}) {
            ASSERT_TRUE(setup.Try(line).ok()) << line << ": " << setup.err.str();
        }
    };
    cycle();
    const std::size_t files = vtest::OpenFileDescriptors();
    const std::uint64_t heap = vtest::HeapBytesInUse();
    for (int i = 0; i < 100; ++i) cycle();
    EXPECT_EQ(vtest::OpenFileDescriptors(), files);
    // A leak of 100 bytes a cycle would show; the host's own bookkeeping may vary a little.
    EXPECT_LE(vtest::HeapBytesInUse(), heap + 10'000) << "heap was " << heap;
    EXPECT_EQ(setup.host->EscapedExceptions(), 0u) << setup.err.str();
    setup.host->Finish();
}

// Unloaded during a match: the hooks go with the plug-in, so the match's end and the
// scoreboard reach nobody; a new load starts from zero.
TEST(Lifecycle, UnloadDuringAMatch) {
    const HostRun run = RunWithoutLoad(
        "load\nmatch start 10\nunload\necho @@calls\ncalls\nmatch end win\nscoreboard open\n"
        "echo @@gone\nframe\necho @@end\nstatus\necho @@after\ncalls\n"
        "load\nmatch start 10\necho @@fresh\nframe\necho @@end\nmatch end loss\nleave\necho @@frame\nframe\necho @@end\n");
    ExpectNothingEscaped(run);
    EXPECT_EQ(vtest::ParseCalls(run.out, "@@calls"), vtest::ParseCalls(run.out, "@@after"));
    EXPECT_FALSE(vtest::ParseFrame(run.out, "@@gone", "@@end").drawn);
    EXPECT_THAT(run.out, HasSubstr("plug-in: none loaded"));
    EXPECT_THAT(run.Log(), Not(HasSubstr("wonMatch: 1")));
    // In the new match the table hides until it ends; then it shows the one loss.
    EXPECT_FALSE(vtest::ParseFrame(run.out, "@@fresh", "@@end").drawn);
    const vtest::FrameTable table = vtest::ParseFrame(run.out, "@@frame", "@@end");
    ASSERT_EQ(table.error, "");
    EXPECT_EQ(std::make_pair(table.rows[0].wins, table.rows[0].losses), std::make_pair(0, 1));
}

}  // namespace
